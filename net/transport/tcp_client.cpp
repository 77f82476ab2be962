#include "net/transport/tcp_client.h"

namespace kavrel {

void TTCPClient::Connect(int ATimeout) {
    if (!UseTLS) {
        OpenConnection(Host, Port, ATimeout, OnConnected);
        return;
    }
    OpenConnection(Host, Port, ATimeout, {});
    StartTLS();
    if (OnConnected) OnConnected(*this);
}

}  // namespace kavrel
