#include "net/tcp_client.h"

namespace kavrel {

void TTCPClient::Connect(int ATimeout) { OpenConnection(Host, Port, ATimeout, OnConnected); }

}  // namespace kavrel
