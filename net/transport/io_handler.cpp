#include "net/transport/io_handler.h"

#include "net/transport/net_errors.h"
#include "net/transport/socket_stack.h"

namespace kavrel {

void TIOHandlerSocket::Open() {
    TIOHandler::Open();
    if (Binding)
        Binding->Reset();
    else
        Binding = std::make_unique<TSocketHandle>();
}

void TIOHandlerSocket::Close() {
    TIOHandler::Close();
    if (Binding) Binding->CloseSocket();
}

void TIOHandlerSocket::ConnectTo(const std::string& host, int port, int timeoutMs) {
    if (!Binding) Binding = std::make_unique<TSocketHandle>();
    if (!Binding->Allocate()) throw EInvalidSocket();

    TSocketStack& stack = TSocketStack::Instance();
    if (!TSocketStack::IsIPLiteral(host)) ReportStatus(TNetStatus::stResolving, host);
    const std::string address = stack.LookupHost(host);
    Binding->RemoteIP = address;
    Binding->RemotePort = port;
    ReportStatus(TNetStatus::stConnecting, Binding->RemoteIP);

    // LookupHost hands literals back unchanged, so the bytes come from our own reading of the
    // literal: the platform's parser would take "010" as octal.
    const auto parsed = TSocketStack::ParseIPLiteral(address);
    if (!parsed) stack.RaiseSocketError(socket_code::HostNotFound);

    if (timeoutMs == TimeoutDefault || timeoutMs == 0) {
        const std::int32_t code = Binding->Connect(*parsed, port, TimeoutInfinite);
        if (code != 0) stack.RaiseSocketError(code);
    } else {
        const std::int32_t code = Binding->Connect(*parsed, port, timeoutMs);
        if (code == -1) {
            Close();
            throw EConnectTimeout();
        }
        if (code != 0) {
            // Reported as a connect failure carrying the socket error's text.
            try {
                stack.RaiseSocketError(code);
            } catch (const ESocketError& e) {
                throw EConnectException(e.what());
            }
        }
    }
    Binding->UpdateBindings();
}

bool TIOHandlerSocket::WaitReadable(int timeoutMs) {
    if (!IsOpen()) throw EConnClosedGracefully();
    return Binding->WaitReadable(timeoutMs);
}

int TIOHandlerSocket::Receive(char* buffer, int length) {
    if (!IsOpen()) throw EClosedSocket();
    return Binding->Receive(buffer, length);
}

int TIOHandlerSocket::Send(const char* buffer, int length) {
    if (!IsOpen()) throw EClosedSocket();
    return Binding->Send(buffer, length);
}

}  // namespace kavrel
