// Thin helpers over the Firebird client's object interface: the master interface, status checking
// that turns Firebird errors into EDatabaseError, and parameter-block building.
#pragma once

#include <firebird/Interface.h>

#include <string>

#include "support/errors.h"

namespace zbpv {

// A database error that keeps what the Firebird client reported: its own message text, the SQLSTATE
// and the primary error code (isc_...), so that callers can tell e.g. a lost connection apart.
class EFirebirdError : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
    // True when the error says the attachment is gone (network error, shutdown, killed attachment).
    bool IsConnectionLost() const;
};

namespace fb {

Firebird::IMaster* Master();
Firebird::IUtil* Util();

// Status holder for one call sequence; Check() throws EFirebirdError when the last call failed.
class Status {
public:
    Status();
    ~Status();
    Status(const Status&) = delete;
    Status& operator=(const Status&) = delete;

    Firebird::CheckStatusWrapper* operator&() { return &wrapper_; }
    Firebird::CheckStatusWrapper* get() { return &wrapper_; }
    bool Failed() const;
    void Check();
    void Clear() { wrapper_.init(); }

private:
    Firebird::IStatus* status_;
    Firebird::CheckStatusWrapper wrapper_;
};

[[noreturn]] void Throw(Firebird::IStatus* status);

// Stops the client and the embedded engine with their threads; for the end of a program, after every
// connection was closed.
void ShutdownClient();

// Owns a parameter-block builder (DPB or TPB).
class Xpb {
public:
    explicit Xpb(unsigned kind);
    ~Xpb();
    Xpb(const Xpb&) = delete;
    Xpb& operator=(const Xpb&) = delete;
    void Tag(unsigned char tag);
    void Int(unsigned char tag, int value);
    void Str(unsigned char tag, const std::string& value);
    unsigned Length();
    const unsigned char* Buffer();

private:
    Firebird::IXpbBuilder* builder_;
};

} // namespace fb
} // namespace zbpv
