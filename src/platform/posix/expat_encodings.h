// Single-byte encodings for the expat reader beyond the few expat knows
// itself (UTF-8, UTF-16, ISO-8859-1, US-ASCII): the encodings Windows tools
// write (windows-1250 to windows-1258), the rest of the ISO 8859 family,
// KOI8-R/U and any other single-byte encoding the C library's iconv
// converts. Expat asks for them through its unknown-encoding handler; the
// answer is a table of the character each byte stands for, built with iconv.
// Multibyte and state-dependent encodings cannot be told as such a table and
// are refused, so their documents fail to parse as any unknown one does.
//
// Thread-safety: no shared state; every call opens and closes its own
// converter. Ownership: the table is written into the caller's storage;
// expat is handed no data and no release function.
#ifndef KORVA_PLATFORM_POSIX_EXPAT_ENCODINGS_H_
#define KORVA_PLATFORM_POSIX_EXPAT_ENCODINGS_H_

#include <expat.h>

namespace korva {
namespace posix {

// Fills map with the Unicode value of each byte 0..255 in the named
// encoding, -1 for a byte the encoding leaves undefined. False (map
// untouched) when the name is not an encoding name, iconv does not know the
// encoding, or it is not a single-byte encoding: a byte that only starts a
// longer sequence, or that stands for no character or for more than one.
bool buildSingleByteTable(const char* name, int (&map)[256]);

// Expat's unknown-encoding handler over buildSingleByteTable; install it
// with XML_SetUnknownEncodingHandler(parser, &onUnknownEncoding, nullptr).
int XMLCALL onUnknownEncoding(void* data, const XML_Char* name, XML_Encoding* info);

}  // namespace posix
}  // namespace korva

#endif  // KORVA_PLATFORM_POSIX_EXPAT_ENCODINGS_H_
