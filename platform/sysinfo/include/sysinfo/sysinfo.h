/* Device-information service of the platform (stand-in).
 *
 * A session is opened with sysinfo_init, read with sysinfo_get_keys and
 * sysinfo_get_value, and closed with sysinfo_finish. Values are byte strings (not
 * necessarily text, not terminated). Memory handed out by the calls is allocated
 * with malloc and belongs to the caller, who frees it with free(); for a key list,
 * each key and then the list.
 *
 * This stand-in answers from a file of "key=value" lines named by the environment
 * variable SYSINFO_VALUES_FILE, read when the session opens. Without the variable,
 * or when the file cannot be read, the service is unavailable: sysinfo_init fails.
 * Lines without '=' are ignored; the value is everything after the first '=' up to
 * the end of the line (a trailing carriage return dropped); a key given twice keeps
 * its last value. A session belongs to one thread; sessions are independent. */
#ifndef SYSINFO_SYSINFO_H
#define SYSINFO_SYSINFO_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct system_config;

/* Opens a session into *context. 0 on success; -1 when the service is unavailable
 * (*context then null). */
int sysinfo_init(struct system_config** context);

/* The service's keys, in file order, as a null-terminated list of terminated texts
 * into *keys. 0 on success, -1 for a null context or argument (*keys untouched). */
int sysinfo_get_keys(struct system_config* context, char*** keys);

/* The value of |key| into *value (length *length; not terminated; null with length 0
 * for an empty value). 0 on success, -1 when the key is unknown or an argument is
 * null (*value and *length untouched). */
int sysinfo_get_value(struct system_config* context, const char* key, uint8_t** value,
                      unsigned long* length);

/* Closes the session; null is allowed. */
void sysinfo_finish(struct system_config* context);

#ifdef __cplusplus
}
#endif

#endif /* SYSINFO_SYSINFO_H */
