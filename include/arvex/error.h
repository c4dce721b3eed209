/*
 * The process-wide error latch and the filter's one error message.
 */
#ifndef ARVEX_ERROR_H
#define ARVEX_ERROR_H

#ifdef __cplusplus
extern "C" {
#endif

/* Error codes that can be latched in err_no. */
enum {
  ARVEX_ERR_NONE = 0,
  ARVEX_ERR_WRITER = 1,   /* a writer of printer commands failed or declined */
  ARVEX_ERR_MEMORY = 2,   /* memory exhausted */
  ARVEX_ERR_OPEN = 3,     /* the input file can't be opened */
  ARVEX_ERR_READ = 4,     /* read error on the input */
  ARVEX_ERR_WRITE = 5,    /* write error on the output */
  ARVEX_ERR_NOOPTION = 6  /* a job option looked up with getCupsOption is absent */
};

/* First failure of the run; 0 while nothing has failed. Each thread has its
   own latch, so that jobs written on different threads keep their codes
   apart; a caller that writes several jobs on one thread clears it (0)
   before each. In C++ it is declared __thread, as in C: a plain
   thread-local int with no initialisation function, so that no TLS
   wrapper call stands between a caller and the latch. */
#ifdef __cplusplus
extern __thread int err_no;
#else
extern _Thread_local int err_no;
#endif

/* Record code in err_no unless a code is already latched. */
void latchError(int code);

/* Write "ERROR: " + message (99 bytes at most) through perror(). The module
   name and line are accepted for the caller's bookkeeping only. */
void writeError(const char *module, int line, const char *message);

#ifdef __cplusplus
}
#endif

#endif
