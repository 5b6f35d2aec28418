#pragma once

#include "connections/oracle/oraclesession.h"
#include "connections/common/params.h"

#include <functional>
#include <memory>

namespace tavrex {

// An Oracle connection of the main window (oracleconn, and the connection of
// oracledata): a parameter list and, once connected, a session.
class OracleConnection {
public:
    Params &params() { return params_; }
    const Params &params() const { return params_; }

    // Opens a session from the parameter list; throws DatabaseError.
    void connect();
    // From now on connect() opens the session on a thread of its own and
    // calls whileWaiting every 20 ms on the caller's thread until it is open
    // (the window stays served while the server is reached). whileWaiting
    // may throw to give up: the connect is then abandoned, its thread closes
    // whatever it still opens, and the exception goes on. Empty: connect()
    // blocks.
    void serveWaits(std::function<void()> whileWaiting) { whileWaiting_ = std::move(whileWaiting); }
    // Closing a closed connection does nothing.
    void close() { session_.reset(); }
    bool connected() const { return bool(session_); }
    // Takes a session opened elsewhere (the check's sessions, which stand in
    // for the target without writing to it).
    void adopt(std::unique_ptr<OracleSession> session) { session_ = std::move(session); }

    // The open session; throws DatabaseError when not connected.
    OracleSession &session();

private:
    Params params_;
    std::unique_ptr<OracleSession> session_;
    std::function<void()> whileWaiting_;
};

} // namespace tavrex
