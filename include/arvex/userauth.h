/*
 * User authentication: whether it is in force for a job, the login user
 * name and password from the job options or the PPD, the encrypted PPD
 * password and the PJL block that carries them.
 *
 * Getters returning int give -1 for "none"; text getters return pointers
 * into the job options or the PPD, "" as the usual fallback.
 */
#ifndef ARVEX_USERAUTH_H
#define ARVEX_USERAUTH_H

#include <stdint.h>

#include <arvex/buffer.h>
#include <arvex/jobinfo.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Append the user-authentication PJL lines to out, each newline written as
   lf. 0 when a block was appended (the full one, or the one with an empty
   user name when no name is found); 1 with err_no 1 latched when user
   authentication is not in force for the job. */
int getInsertStringForUserAuthenticationPJL(const JobInfo *job, InsertBuffer *out, const char *lf);

/* 1 when the PPD supports user authentication ("AXUserAuthenticationSupport"
   exactly "true") and the job option
   "com.arvex.printsettings.UserAuth.EnableUserAuth", else the PPD choice
   "AXEnableUserAuth", is "true" in any case. Otherwise 0. */
int UaGetFunctionValid(const JobInfo *job);

/* "true" when the marked choice of "AXEnableUserAuth" is "true" in any
   case, else "False". */
const char *getPPDUaFunctionValid(const JobInfo *job);

/* Login user name in the job's character set, cut to 128 bytes, into out
   (zero-filled by the caller; 129 bytes or more, a smaller size lowers the
   cut). 0 when a name was found, -1 when there is none. */
int UaGetLoginUserName(const JobInfo *job, char *out, int size);

/* The login user name that the PPD settings give: the filter's user when
   "AXAuthLoginUserNameType" is "LoginUserName", else the defined user ID
   (checked as 1 to 128 printable ASCII bytes on CUPS 2.0 and older).
   NULL for none. */
const char *getPPDLoginUserName(const JobInfo *job);

/* 1 when "AXAuthLoginUserNameType" is marked "LoginUserName" (any case),
   else 0. */
int getPPDLoginUserNameType(const JobInfo *job);

/* The defined user ID: NULL when "AXAuthLoginUserNameText" is marked "None",
   its custom text when marked "Custom", else "". */
const char *getPPDLoginUserNameText(const JobInfo *job);

/* The password field into out (zero-filled by the caller): the job option
   "com.arvex.printsettings.UserAuth.EncryptedPasswordAuth" as it stands,
   cut to size - 1 bytes, else the encrypted PPD password. Always 0. */
int UaGetPassword(const JobInfo *job, char *out, int size);

/* The PPD password encrypted and Base64-encoded into out. out is left as
   it is when the PPD gives no user name or password, zero-filled when the
   encryption fails (err_no 1). Always 0. */
int getPPDAuthenticationPassword(const JobInfo *job, char *out, int size);

/* The custom text of "AXAuthLoginPassword" (checked as 0 to 128 printable
   ASCII bytes on CUPS 2.0 and older), or "". NULL only when the parameter
   holds no value on a newer scheduler. */
const char *getPPDAuthenticationPasswordText(const JobInfo *job);

/* getPPEncryptionKeyText() when getPPDEncryptionValid() is 1, else "". */
const char *getPPEncryptionKey(const JobInfo *job);

/* 1 when "AXAuthEnableEncryption" is marked "true" in any case, else 0. */
int getPPDEncryptionValid(const JobInfo *job);

/* The custom text of "AXAuthEncryptionKey" when it passes
   isValidEncryptionKey(), else "". */
const char *getPPEncryptionKeyText(const JobInfo *job);

/* 1 when the key text is REJECTED (NULL, over 32 bytes, or a byte outside
   printable ASCII), 0 when it can be used. */
int isValidEncryptionKey(const char *key);

/* Encrypt password with AES-256-CBC (PKCS#7 padding) under key and IV taken
   from SHA-256 of user name followed by key text, and write the ciphertext
   as terminated Base64 into out. Returns the size the output needs,
   (4 * n) / 3 + 4 for n ciphertext bytes; out is written only when it is
   not NULL and that size fits in size. 0 when encryption is impossible. */
int32_t exchangeAES256Cipher(const char *userName, const char *password, const char *key, char *out,
                             int32_t size);

#ifdef __cplusplus
}
#endif

#endif
