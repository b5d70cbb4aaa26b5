#include "dbaccess/fb_api.h"

#include "support/ansi.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>

namespace zbpv {

bool EFirebirdError::IsConnectionLost() const {
    static constexpr long codes[] = {isc_network_error,      isc_net_read_err,  isc_net_write_err,
                                     isc_lost_db_connection, isc_att_shutdown,  isc_shutdown,
                                     isc_conn_lost,          isc_bad_db_handle, isc_io_error};
    if (std::find(std::begin(codes), std::end(codes), ErrorCode()) != std::end(codes))
        return true;
    return SqlState().rfind("08", 0) == 0;
}

namespace fb {

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZBPV_HAS_ASAN 1
#endif
#endif
#ifndef ZBPV_HAS_ASAN
#define ZBPV_HAS_ASAN 0
#endif

namespace {
// Under the leak checker: the client unloads the embedded engine and the authentication plugins of
// network connections before the check at exit runs, and the checker then trips over their
// thread-local storage that is gone. Pinning them in memory keeps it valid; nothing else changes.
void PinEngineForLeakCheck(Firebird::IMaster* master) {
#if defined(__SANITIZE_ADDRESS__) || ZBPV_HAS_ASAN
    const char* dir = master->getConfigManager()->getDirectory(Firebird::IConfigManager::DIR_PLUGINS);
    if (dir) {
        for (const char* plugin : {"libEngine12.so", "libSrp.so", "libLegacy_Auth.so"}) {
            std::string path = std::string(dir) + "/" + plugin;
            dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
        }
    }
#else
    (void)master;
#endif
}
} // namespace

Firebird::IMaster* Master() {
    static Firebird::IMaster* master = [] {
        Firebird::IMaster* m = Firebird::fb_get_master_interface();
        PinEngineForLeakCheck(m);
        return m;
    }();
    return master;
}

Firebird::IUtil* Util() {
    return Master()->getUtilInterface();
}

Status::Status() : status_(Master()->getStatus()), wrapper_(status_) {}

Status::~Status() {
    status_->dispose();
}

bool Status::Failed() const {
    return (const_cast<Firebird::CheckStatusWrapper&>(wrapper_).getState() &
            Firebird::IStatus::STATE_ERRORS) != 0;
}

void Status::Check() {
    if (Failed())
        Throw(&wrapper_);
}

void Throw(Firebird::IStatus* status) {
    char text[2048] = {};
    Util()->formatStatus(text, sizeof text - 1, status);
    const ISC_STATUS* vector = status->getErrors();
    char state[6] = {};
    fb_sqlstate(state, vector);
    long code = (vector && vector[0] == isc_arg_gds) ? static_cast<long>(vector[1]) : 0;
    // The formatted status puts each part on its own line; one line reads better in a message box.
    // Firebird words its messages in the connection's character set (values quoted in a constraint
    // message, for instance); the system's messages are UTF-8.
    std::string message = AnsiToUtf8(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    throw EFirebirdError(message, std::string(state, strnlen(state, 5)), static_cast<int>(code));
}

void ShutdownClient() {
    fb_shutdown(0, fb_shutrsn_app_stopped);
}

Xpb::Xpb(unsigned kind) {
    Status st;
    builder_ = Util()->getXpbBuilder(&st, kind, nullptr, 0);
    st.Check();
}

Xpb::~Xpb() {
    builder_->dispose();
}

void Xpb::Tag(unsigned char tag) {
    Status st;
    builder_->insertTag(&st, tag);
    st.Check();
}

void Xpb::Int(unsigned char tag, int value) {
    Status st;
    builder_->insertInt(&st, tag, value);
    st.Check();
}

void Xpb::Str(unsigned char tag, const std::string& value) {
    Status st;
    builder_->insertString(&st, tag, value.c_str());
    st.Check();
}

unsigned Xpb::Length() {
    Status st;
    unsigned n = builder_->getBufferLength(&st);
    st.Check();
    return n;
}

const unsigned char* Xpb::Buffer() {
    Status st;
    const unsigned char* b = builder_->getBuffer(&st);
    st.Check();
    return b;
}

} // namespace fb
} // namespace zbpv
