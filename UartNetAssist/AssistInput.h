#pragma once

#include <QString>
#include <QValidator>

// Range checks for the numbers the assistant panel takes from its fields, from
// configuration strings and from the history file. Each returns false for anything
// that is not a plain decimal number in range; nothing wraps.
namespace AssistInput {

constexpr int minPort = 1;
constexpr int maxPort = 65535;
// Periodic sending: 1 ms to 24 h.
constexpr int minIntervalMs = 1;
constexpr int maxIntervalMs = 24 * 60 * 60 * 1000;

bool parsePort(const QString& text, int* port = nullptr);
bool parseInterval(const QString& text, int* ms = nullptr);
// "host:port" with a non-empty host, exactly one ":" and a port in range.
bool parseHostPort(const QString& text, QString* host = nullptr, int* port = nullptr);

} // namespace AssistInput

// Field validator for "host:port": refuses a second ":" and a port beyond 65535 while
// typing, and accepts only a complete address with a port in range.
class HostPortValidator : public QValidator
{
    Q_OBJECT
public:
    explicit HostPortValidator(QObject* parent = nullptr);
    State validate(QString& input, int& pos) const override;
};
