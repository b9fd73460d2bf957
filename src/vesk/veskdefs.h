/*
 * Definitions shared by every public header of libvesk: C linkage for C++
 * hosts and the export macro of the shared libraries.
 */
#ifndef VESKDEFS_H
#define VESKDEFS_H

#ifdef __cplusplus
#define VESK_BEGIN_DECLS extern "C" {
#define VESK_END_DECLS }
#else
#define VESK_BEGIN_DECLS
#define VESK_END_DECLS
#endif

#define VESK_API __attribute__((visibility("default")))

#endif
