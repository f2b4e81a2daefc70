// Placeholder until the host core lands.
#include "server/core/host_core.h"
