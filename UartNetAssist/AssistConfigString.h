#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// The assistant configuration string: seven fields joined by ",", some of them made of
// sub-fields joined by "_". When no value holds a separator the line is written exactly
// as earlier versions wrote it; otherwise it starts with "%" and every value is
// percent-escaped ("%" as %25, "," as %2C, "_" as %5F). Lines from earlier versions never
// start with "%", so they are read exactly as before.
class AssistConfigString
{
public:
    static constexpr int fieldCount = 7;
    static constexpr int sendBoxField = 6;

    // A field of one value (never split when read) or of sub-fields joined by "_".
    void setField(int index, const QString& value);
    void setSubFields(int index, const QStringList& values);
    QString toString() const;

    // False (and nothing kept) unless the line holds seven fields. In the unescaped form
    // the send box, the last field, takes every comma after the sixth.
    bool parse(const QString& line);
    QString field(int index) const;
    // The field split at "_" (an unescaped line holding "_" in a value gives more parts).
    QStringList subFields(int index) const;
    bool isEscaped() const { return escaped; }

    static QString escape(const QString& value);
    static QString unescape(const QString& value);

private:
    bool needsEscaping() const;

    QVector<QStringList> values = QVector<QStringList>(fieldCount);
    QVector<bool> compound = QVector<bool>(fieldCount, false);
    QStringList rawFields;
    bool escaped = false;
};
