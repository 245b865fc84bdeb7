// A call context's slots: error state, Throwables, strings and their loans, and calls of
// script functions.
#include "HostState.h"

namespace StandIn {
namespace {

void checkOpen(CallContextImpl& c, int slot) {
    c.state->logCall(InterfaceKind::CallContext, slot, c.serial);
    if (c.count <= 0) {
        c.state->anomaly("call context " + std::to_string(c.serial) + " used (slot " +
                         std::to_string(slot) + ") after its last release");
    }
}

void QZ_CALL ctxAddReference(Vorna::HostCallContext* self) {
    CallContextImpl& c = contextOf(self);
    checkOpen(c, 0);
    ++c.count;
}

void QZ_CALL ctxRelease(Vorna::HostCallContext* self) {
    CallContextImpl& c = contextOf(self);
    c.state->logCall(InterfaceKind::CallContext, 1, c.serial);
    if (c.count <= 0) {
        c.state->anomaly("call context " + std::to_string(c.serial) +
                         " released more often than referenced");
        return;
    }
    if (--c.count == 0) c.state->clearPending(c);
}

std::intptr_t ctxUnused(CallContextImpl& c, int slot) {
    checkOpen(c, slot);
    c.state->anomaly("call-context slot " + std::to_string(slot) + " called");
    return 0;
}
std::intptr_t QZ_CALL ctxUnused2(Vorna::HostCallContext* self) {
    return ctxUnused(contextOf(self), 2);
}
std::intptr_t QZ_CALL ctxUnused3(Vorna::HostCallContext* self) {
    return ctxUnused(contextOf(self), 3);
}
std::intptr_t QZ_CALL ctxUnused13(Vorna::HostCallContext* self) {
    return ctxUnused(contextOf(self), 13);
}

void QZ_CALL ctxClearError(Vorna::HostCallContext* self) {
    CallContextImpl& c = contextOf(self);
    checkOpen(c, 4);
    c.state->clearPending(c);
}

std::string throwableText(std::int32_t code, Vorna::ErrorDatum datum) {
    if (code == kErrorTextCopied || code == kErrorText) {
        const char* text = reinterpret_cast<const char*>(datum);
        return text ? std::string(text) : std::string(kUnspecifiedErrorText);
    }
    return "Error " + std::to_string(code) + " (" + std::to_string(static_cast<long long>(datum)) +
           ") has occurred.";
}

Vorna::Handle QZ_CALL ctxNewThrowable(Vorna::HostCallContext* self, std::int32_t code,
                                      Vorna::ErrorDatum datum) {
    CallContextImpl& c = contextOf(self);
    checkOpen(c, 5);
    std::string text = throwableText(code, datum);
    Vorna::Handle t = c.state->newThrowable(code, text, 1, 0);
    CallLogEntry& e = c.state->log.back();
    e.detail = text;
    e.handle = t;
    e.value = code;
    return t;
}

Vorna::Handle QZ_CALL ctxThrowableMessage(Vorna::HostCallContext* self, Vorna::Handle throwable) {
    CallContextImpl& c = contextOf(self);
    checkOpen(c, 6);
    c.state->log.back().handle = throwable;
    HostObject* t = c.state->live(throwable, ObjectKind::Throwable);
    if (!t) {
        c.state->anomaly("message asked of " + hexHandle(throwable) +
                         ", which is no live Throwable");
        return 0;
    }
    return c.state->newString(latin1ToUnits(t->message.data(), t->message.size()), 1, 0);
}

Vorna::Handle QZ_CALL ctxPendingThrowable(Vorna::HostCallContext* self) {
    CallContextImpl& c = contextOf(self);
    checkOpen(c, 7);
    if (c.pending == 0) return 0;
    HostObject* t = c.state->find(c.pending);
    ++t->count;
    c.state->log.back().handle = c.pending;
    return c.pending;
}

void QZ_CALL ctxRaise(Vorna::HostCallContext* self, Vorna::Handle throwable) {
    CallContextImpl& c = contextOf(self);
    checkOpen(c, 8);
    c.state->log.back().handle = throwable;
    RaisedError r;
    r.throwable = throwable;
    if (throwable != 0) {
        HostObject* t = c.state->live(throwable, ObjectKind::Throwable);
        if (t) {
            r.code = t->code;
            r.message = t->message;
        } else {
            c.state->anomaly("raise of " + hexHandle(throwable) + ", which is no live Throwable");
            r.message = "(invalid Throwable)";
        }
    }
    c.state->raised.push_back(r);
}

Vorna::Handle QZ_CALL ctxNewString(Vorna::HostCallContext* self, std::int32_t encoding,
                                   const void* bytes, std::uint32_t byteCount) {
    CallContextImpl& c = contextOf(self);
    checkOpen(c, 9);
    c.state->log.back().value = encoding;
    if (!bytes && byteCount != 0) {
        c.state->anomaly("new String from a null pointer with " + std::to_string(byteCount) +
                         " bytes");
        return 0;
    }
    std::u16string units;
    if (encoding == Vorna::kEncodingNarrow) {
        units = latin1ToUnits(static_cast<const char*>(bytes), byteCount);
    } else if (encoding == Vorna::kEncodingUTF16) {
        if (byteCount % 2 != 0)
            c.state->anomaly("UTF-16 String with an odd byte count " + std::to_string(byteCount));
        units.resize(byteCount / 2);
        if (!units.empty()) std::memcpy(&units[0], bytes, units.size() * 2);
    } else {
        c.state->anomaly("new String in unknown encoding " + std::to_string(encoding));
        return 0;
    }
    Vorna::Handle h = c.state->newString(std::move(units), 1, 0);
    c.state->log.back().handle = h;
    return h;
}

const void* QZ_CALL ctxLockString(Vorna::HostCallContext* self, Vorna::Handle string,
                                  std::int32_t encoding, std::uint32_t* byteLength,
                                  std::uint32_t* token) {
    CallContextImpl& c = contextOf(self);
    checkOpen(c, 10);
    c.state->log.back().handle = string;
    c.state->log.back().value = encoding;
    HostObject* s = c.state->live(string, ObjectKind::String);
    if (!s) {
        c.state->anomaly("lock of " + hexHandle(string) + ", which is no live String");
        return nullptr;
    }
    StringLoan loan;
    loan.string = string;
    if (encoding == Vorna::kEncodingNarrow) {
        loan.bytes = unitsToLatin1(s->text);
    } else if (encoding == Vorna::kEncodingUTF16) {
        loan.bytes.assign(reinterpret_cast<const char*>(s->text.data()), s->text.size() * 2);
    } else {
        c.state->anomaly("String lock in unknown encoding " + std::to_string(encoding));
        return nullptr;
    }
    std::uint32_t length = static_cast<std::uint32_t>(loan.bytes.size());
    loan.bytes.push_back('\0');
    loan.bytes.push_back('\0');
    std::uint32_t t = c.state->nextLoanToken++;
    auto it = c.state->loans.emplace(t, std::move(loan)).first;
    if (byteLength) *byteLength = length;
    if (token) *token = t;
    return it->second.bytes.data();
}

void QZ_CALL ctxUnlockString(Vorna::HostCallContext* self, Vorna::Handle string,
                             std::uint32_t token) {
    CallContextImpl& c = contextOf(self);
    checkOpen(c, 11);
    c.state->log.back().handle = string;
    c.state->log.back().value = token;
    auto it = c.state->loans.find(token);
    if (it == c.state->loans.end()) {
        c.state->anomaly("String unlock with token " + std::to_string(token) +
                         ", which is no open loan");
        return;
    }
    if (it->second.string != string) {
        c.state->anomaly("String unlock of " + hexHandle(string) + " with the token of " +
                         hexHandle(it->second.string));
    }
    c.state->loans.erase(it);
}

std::int32_t QZ_CALL ctxCall(Vorna::HostCallContext* self, Vorna::Handle function,
                             std::int32_t count, Vorna::ScriptArgRecord* records) {
    CallContextImpl& c = contextOf(self);
    checkOpen(c, 12);
    return c.state->call(c, function, count, records);
}

}  // namespace

const Vorna::HostCallContextTable kCallContextTable = {
    ctxAddReference, ctxRelease,      ctxUnused2,          ctxUnused3,
    ctxClearError,   ctxNewThrowable, ctxThrowableMessage, ctxPendingThrowable,
    ctxRaise,        ctxNewString,    ctxLockString,       ctxUnlockString,
    ctxCall,         ctxUnused13,
};

}  // namespace StandIn
