#pragma once

#include <QString>
#include <exception>

namespace orvela {

/// An error carrying the text that the error box shows (without the added full stop).
class Error : public std::exception {
public:
    explicit Error(QString message) : message_(std::move(message)), utf8_(message_.toUtf8()) {}
    const QString& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};

/// A file that cannot be opened or created ("Cannot open file %s", "Cannot create file %s").
class FileError final : public Error {
public:
    using Error::Error;
};

/// An error raised by a dataset; its message already carries the component-name prefix.
class DataSetError final : public Error {
public:
    using Error::Error;
};

} // namespace orvela
