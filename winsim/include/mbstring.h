// Microsoft C runtime string helpers (multibyte <mbstring.h> and the <string.h>/<stdlib.h> extras) for the native build.
#pragma once
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define _MAX_PATH 260
#define _MAX_DRIVE 3
#define _MAX_DIR 256
#define _MAX_FNAME 256
#define _MAX_EXT 256

// The multibyte functions follow the machine's ANSI code page, as msvcrt's do by default:
// under code page 932 a lead byte and its trail byte form one character.

// Compares character by character, a double-byte character counting as (lead << 8) | trail.
int _mbscmp(const unsigned char* string1, const unsigned char* string2);
// As _mbscmp after upper-casing ASCII letters.
int _mbsicmp(const unsigned char* string1, const unsigned char* string2);
// First occurrence of `strCharSet` starting on a character boundary, or NULL.
unsigned char* _mbsstr(const unsigned char* str, const unsigned char* strCharSet);
unsigned char* _mbschr(const unsigned char* str, unsigned int c);
unsigned char* _mbsrchr(const unsigned char* str, unsigned int c);
// Upper-/lower-cases ASCII letters only; both bytes of a double-byte character are left alone.
unsigned char* _mbsupr(unsigned char* str);
unsigned char* _mbslwr(unsigned char* str);
// Number of characters (a double-byte character counts once).
size_t _mbslen(const unsigned char* str);
unsigned char* _mbsinc(const unsigned char* current);
int _ismbblead(unsigned int c);

// <string.h> extras: ASCII-only case mapping as in the "C" locale.
char* _strupr(char* str);
char* _strlwr(char* str);
int _stricmp(const char* string1, const char* string2);
int _strnicmp(const char* string1, const char* string2, size_t count);
// <stdlib.h>: splits a path into drive ("C:"), folder (with trailing backslash), name and extension (with dot);
// any output may be NULL. Multibyte-aware, so a trail byte 0x5C is not taken for a backslash.
void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext);
void _makepath(char* path, const char* drive, const char* dir, const char* fname, const char* ext);

#ifdef __cplusplus
}
#endif
