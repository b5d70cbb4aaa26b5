#pragma once
// Exceptions of the system. Every one carries the (German) message the user sees.

#include <stdexcept>
#include <string>

namespace zbpv {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    // The class name shown in error reports.
    virtual const char* ClassName() const noexcept { return "Exception"; }
};

// A value could not be converted (text to number, out-of-range date …).
class EConvertError : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "EConvertError"; }
};

// The target database refused something; the message is the database's own.
class EDatabaseError : public Exception {
public:
    EDatabaseError(const std::string& message, std::string sqlState = {}, int errorCode = 0)
        : Exception(message), sqlState_(std::move(sqlState)), errorCode_(errorCode) {}
    const std::string& SqlState() const noexcept { return sqlState_; }
    int ErrorCode() const noexcept { return errorCode_; }
    const char* ClassName() const noexcept override { return "EDatabaseError"; }

private:
    std::string sqlState_;
    int errorCode_;
};

// A file or folder could not be opened, read or written.
class EFileError : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "EFileError"; }
};

// The silent exception: ends what is running on purpose (a question answered No). Front ends and the
// error report let it pass without any message.
class EAbort : public Exception {
public:
    EAbort() : Exception("Vorgang abgebrochen") {}
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "EAbort"; }
};

} // namespace zbpv
