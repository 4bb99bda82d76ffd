/* The gettext interface without translations: GLib, Pango and GTK+ ask for a libintl, and the
 * program carries its own texts, so every message stays as written. */
#ifndef QN718_LIBINTL_H
#define QN718_LIBINTL_H

#include <locale.h>

#ifndef LC_MESSAGES
#define LC_MESSAGES 1729
#endif

#ifdef __cplusplus
extern "C" {
#endif

#ifdef BUILDING_QN718_INTL
#define QN718_INTL_API __declspec(dllexport)
#else
#define QN718_INTL_API __declspec(dllimport)
#endif

QN718_INTL_API char* gettext(const char* msgid) __attribute__((format_arg(1)));
QN718_INTL_API char* dgettext(const char* domain, const char* msgid) __attribute__((format_arg(2)));
QN718_INTL_API char* dcgettext(const char* domain, const char* msgid, int category)
    __attribute__((format_arg(2)));
QN718_INTL_API char* ngettext(const char* msgid, const char* plural, unsigned long n)
    __attribute__((format_arg(1))) __attribute__((format_arg(2)));
QN718_INTL_API char* dngettext(const char* domain, const char* msgid, const char* plural,
                               unsigned long n) __attribute__((format_arg(2)))
    __attribute__((format_arg(3)));
QN718_INTL_API char* dcngettext(const char* domain, const char* msgid, const char* plural,
                                unsigned long n, int category) __attribute__((format_arg(2)))
    __attribute__((format_arg(3)));
QN718_INTL_API char* textdomain(const char* domain);
QN718_INTL_API char* bindtextdomain(const char* domain, const char* dirname);
QN718_INTL_API char* bind_textdomain_codeset(const char* domain, const char* codeset);

#ifdef __cplusplus
}
#endif

#endif
