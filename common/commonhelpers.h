#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

class QTreeWidgetItem;

// Conversions between text, bytes and hex text shared by every hex view and hex send
// field. Hex text as produced here: two lower-case digits and one separator per byte,
// the last byte included (n bytes give 3n characters).

// Hex text of the text's bytes in the local 8-bit encoding.
QString text2HexString(const QString& text, QChar sep);
// Text decoded from hex text (local 8-bit encoding), up to the first zero byte.
QString HexString2text(const QString& hex, QChar sep);
// Bytes from hex text: pieces split at sep; inside a piece non-hex characters are
// skipped and digits pair from the end, so an odd leading digit is a byte alone.
QByteArray HexString2ByteArray(const QString& hex, QChar sep);
// Hex text of the bytes; always a space after each byte whatever sep is (callers rely
// on the fixed layout of the receive view).
QString ByteArrayToHexString(const QByteArray& data, QChar sep);
QString ByteArray2HexString(const QByteArray& data);
QString str2HexArray(const QByteArray& data);

// "aa:bb:cc:dd:ee:ff" into out[0..5]; false (out untouched) unless there are six pieces.
// A piece that is not hex counts as 0; wider values keep their low 8 bits.
bool string2array_mac(const QString& mac, unsigned char* out);
// "a.b.c.d" into out[0..3] only when there are four pieces; low 8 bits of each.
void string2array_ip(const QString& ip, unsigned char* out);

// Removes a file, a symbolic link (never its target) or a directory tree. True only
// when the path existed and is gone afterwards.
bool DeleteFileOrFolder(const QString& path);
// Deletes the item after its descendants, depth first, front to back.
void RemoveTreeWidgetItem(QTreeWidgetItem* item);
