/* The binary interface between a host process and a loaded module.
 * The module imports every host operation and variable below by its C name
 * and exports its own entry points; a host that defines these can load it. */
#ifndef ZMB_HOST_INTERFACE_H
#define ZMB_HOST_INTERFACE_H

#include <stddef.h>
#include <stdint.h>

/* Every name here is visible across the boundary, whatever the default
 * visibility the module is compiled with. */
#pragma GCC visibility push(default)

#ifdef __cplusplus
extern "C" {
#endif

/* ---- what the module exports ---- */

void init__zmb_vorn(void);

char* make_date(void);
char* make_time(void);
char* alltrim(char* text);
char* removecolor(const char* text);
char* ucase(const char* text);
char* lcase(const char* text);
char* ocase(const char* text);
char* mcase(const char* text);
void dotrim(const char* script_line);
void stripit(const char* script_line);
void swapcase(const char* script_line, int16_t selector);
int16_t string_endswith(const char* script_line);
int16_t string_beginswith(const char* script_line);
int16_t string_inside(const char* script_line);

/* ---- what the host defines and the module imports ---- */

struct host_user {          /* the host's per-channel user record      */
    int32_t current_module; /* module that receives this user's input  */
    int32_t substate;       /* per-user flow state kept for the module */
    /* the host may keep private fields after these two */
};
struct host_account { /* the host's account record               */
    uint8_t age;      /* age in years                            */
    /* the host may keep private fields after this one */
};

extern int usrnum;                  /* channel of the current user      */
extern struct host_user* usrptr;    /* that channel's user record       */
extern struct host_account* usaptr; /* that user's account record       */
extern char* vdaptr;                /* that user's per-user area        */
extern int margc;                   /* number of words typed            */
extern char* margv[];               /* the words; margv[0] is "" when margc is 0 */
extern char input[];                /* the typed line, see rstrin       */
extern int status;                  /* reason of a status-routine call  */

/* Nine routine slots in the host's fixed order. */
struct module_descriptor {
    char description[25];
    void (*logon)(void);
    int (*input)(void); /* 1 line handled, 0 user given up */
    void (*status)(void);
    void (*injected)(void);
    void (*logoff)(void);
    void (*hangup)(void);
    void (*midnight)(void);
    void (*delete_account)(void);
    void (*finish)(void);
};

/* Directory search record: the module allocates it, the host fills it. */
struct file_info {
    char name[13];               /* bare 8.3 name, NUL-terminated     */
    unsigned char reserved[243]; /* host's own use between the calls */
};

int16_t register_module(struct module_descriptor* descriptor);
char* gmdnam(const char* definition_file);
char* stzcpy(char* dst, const char* src, int n);
void* alcmem(size_t size);
void dclvda(size_t size);
void shocst(const char* title, const char* text);
void catastro(const char* format, ...) __attribute__((noreturn)); /* does not return */
void prf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void outprf(int channel);
void clrmlt(void);
void rstrin(void);
int haskey(const char* key);
void dfsthn(void);
int sameas(const char* a, const char* b);
int sameto(const char* prefix, const char* s);
int samend(const char* s, const char* suffix);
int samein(const char* needle, const char* s);
char* skpwht(const char* s);
char* depad(char* s);
char* l2as(long value);
uint16_t today(void);
uint16_t now(void);
char* nctime(uint16_t time);
char* ncdate(uint16_t day);
int fnd1st(struct file_info* info, const char* pattern, int attributes);
int fndnxt(struct file_info* info);
void btuinj(int channel, int code);
void btuclo(int channel);
void btumil(int channel, int limit);
void btuxnf(int channel, int xon, int xoff);

#ifdef __cplusplus
}
#endif

#pragma GCC visibility pop

#endif /* ZMB_HOST_INTERFACE_H */
