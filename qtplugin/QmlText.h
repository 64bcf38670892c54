// Text conversions between QML and the library, one fixed conversion per kind of value,
// the same in both directions:
// - identifiers and option values (class, object, owner and key names, categories,
//   option words, file paths) are 8-bit Latin-1 byte strings;
// - free texts (user-visible values, search patterns, metadata and address texts) are
//   UTF-16 in the library (orva::ustring) and cross through UTF-8.
#pragma once

#include <QString>
#include <QVariantList>

#include <tervo/ustring.h>

#include <string>
#include <vector>

namespace keldra {
namespace qtplugin {

std::string toIdentifier(const QString& text);
QString fromIdentifier(const std::string& bytes);

// A text ends at its first U+0000, as the library's texts do.
orva::ustring toUstring(const QString& text);
QString fromUstring(const orva::ustring& text);

// Lists of free texts (tags): each entry through QVariant::toString.
std::vector<orva::ustring> toUstrings(const QVariantList& list);
QVariantList fromUstrings(const std::vector<orva::ustring>& list);

}  // namespace qtplugin
}  // namespace keldra
