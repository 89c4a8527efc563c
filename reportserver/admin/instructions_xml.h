// The publish instructions file as an export writes it, in UTF-8: one
// `publish` element without attributes (so that a publish logs on with its
// own settings), holding `users`, `folders` and `reports`, each without
// attributes (so that their defaults hold: overwrite "1", named "0", no
// description) and with its entries. An attribute with an empty value is
// left out, which means the same to the reader.
//
// XML cannot hold every text: the control characters but tab, line feed and
// carriage return, U+FFFE and U+FFFF have no place in it, even escaped.
// Every other character is written so that the reader gets it back exactly
// ("&#10;" for a line feed, which would be read as a space otherwise).
//
// Thread-safety: pure functions.
#ifndef KORVA_REPORTSERVER_ADMIN_INSTRUCTIONS_XML_H_
#define KORVA_REPORTSERVER_ADMIN_INSTRUCTIONS_XML_H_

#include <string>
#include <utility>
#include <vector>

namespace korva {

// An entry's attributes, in order: name and value (UTF-8).
using XmlAttributes = std::vector<std::pair<const char*, std::string>>;

// The text without the characters XML cannot hold; *dropped tells whether
// there were any.
std::string xmlHoldable(const std::string& utf8, bool* dropped);

// The whole file: `user`, `folder` and `report` entries in the order given.
std::string instructionsXml(const std::vector<XmlAttributes>& users,
                            const std::vector<XmlAttributes>& folders,
                            const std::vector<XmlAttributes>& reports);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_ADMIN_INSTRUCTIONS_XML_H_
