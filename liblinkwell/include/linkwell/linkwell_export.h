/* Symbol visibility for liblinkwell. The library is built with hidden
 * visibility; everything a client may call is marked LINKWELL_API. */
#ifndef LINKWELL_EXPORT_H
#define LINKWELL_EXPORT_H

#if defined(LINKWELL_BUILDING)
#define LINKWELL_API __attribute__((visibility("default")))
#else
#define LINKWELL_API
#endif

#ifdef __cplusplus
#define LINKWELL_EXTERN_C_BEGIN extern "C" {
#define LINKWELL_EXTERN_C_END }
#else
#define LINKWELL_EXTERN_C_BEGIN
#define LINKWELL_EXTERN_C_END
#endif

#endif
