#include "ui/instance_request.h"

#include <sys/socket.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QLocalSocket>

namespace ui {
namespace {

bool IsVerb(const std::string& verb) {
  if (verb.empty()) return false;
  for (char c : verb)
    if (c < 'a' || c > 'z') return false;
  return true;
}

// Decimal digits from `pos` up to `end` (exclusive), no sign, at most `limit`.
bool ReadNumber(const std::string& text, size_t pos, size_t end, size_t limit, size_t* value) {
  if (pos >= end) return false;
  size_t v = 0;
  for (size_t i = pos; i < end; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + static_cast<size_t>(text[i] - '0');
    if (v > limit) return false;
  }
  *value = v;
  return true;
}

int Remaining(const QDeadlineTimer& deadline) {
  return static_cast<int>(deadline.remainingTime());
}

}  // namespace

std::string EncodeInstanceMessage(const InstanceMessage& message) {
  std::string out = message.verb;
  if (!message.items.empty()) out += " " + std::to_string(message.items.size());
  out += "\n";
  for (const std::string& item : message.items) {
    out += std::to_string(item.size());
    out += ':';
    out += item;
  }
  return out;
}

DecodeResult DecodeInstanceMessage(const std::string& data, InstanceMessage* message,
                                   size_t* used) {
  const size_t eol = data.find('\n');
  if (eol == std::string::npos)
    return data.size() > kMaxMessageLine ? DecodeResult::Malformed : DecodeResult::Incomplete;
  if (eol > kMaxMessageLine) return DecodeResult::Malformed;
  const size_t space = data.find(' ');
  const size_t verbEnd = space < eol ? space : eol;
  InstanceMessage m;
  m.verb = data.substr(0, verbEnd);
  if (!IsVerb(m.verb)) return DecodeResult::Malformed;
  size_t count = 0;
  if (verbEnd < eol && !ReadNumber(data, verbEnd + 1, eol, kMaxMessageItems, &count))
    return DecodeResult::Malformed;

  size_t pos = eol + 1;
  for (size_t i = 0; i < count; ++i) {
    // The length: digits up to ':'; a part of it may still be on its way.
    size_t colon = pos;
    while (colon < data.size() && data[colon] >= '0' && data[colon] <= '9') ++colon;
    size_t length = 0;
    if (colon > pos && !ReadNumber(data, pos, colon, kMaxItemBytes, &length))
      return DecodeResult::Malformed;
    if (colon == data.size()) return DecodeResult::Incomplete;
    if (colon == pos || data[colon] != ':') return DecodeResult::Malformed;
    if (data.size() - (colon + 1) < length) return DecodeResult::Incomplete;
    m.items.push_back(data.substr(colon + 1, length));
    pos = colon + 1 + length;
  }
  *message = std::move(m);
  *used = pos;
  return DecodeResult::Complete;
}

bool AskRunningInstance(const std::string& name, const InstanceMessage& request,
                        InstanceMessage* answer, int timeoutMs) {
  if (answer) *answer = {};
  const QDeadlineTimer deadline(timeoutMs);
  QLocalSocket socket;
  socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
  socket.connectToServer(QString::fromStdString(name));
  if (!socket.waitForConnected(Remaining(deadline))) return false;
  if (!PeerIsThisUser(socket.socketDescriptor())) {
    socket.abort();
    return false;
  }
  const std::string data = EncodeInstanceMessage(request);
  socket.write(data.data(), static_cast<qint64>(data.size()));
  while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(Remaining(deadline))) {
  }

  std::string got;
  InstanceMessage reply;
  size_t used = 0;
  DecodeResult result = DecodeResult::Incomplete;
  do {
    const QByteArray chunk = socket.readAll();
    got.append(chunk.constData(), static_cast<size_t>(chunk.size()));
    result = DecodeInstanceMessage(got, &reply, &used);
  } while (result == DecodeResult::Incomplete &&
           (socket.bytesAvailable() > 0 || socket.waitForReadyRead(Remaining(deadline))));
  if (result == DecodeResult::Complete && answer) *answer = std::move(reply);
  socket.disconnectFromServer();
  return true;
}

std::string DesktopSession() {
  const char* wayland = getenv("WAYLAND_DISPLAY");
  if (wayland && *wayland) return std::string("wayland:") + wayland;
  const char* x = getenv("DISPLAY");
  if (!x || !*x) return {};
  std::string display = x;
  // One X server however it is addressed: "unix:0.1" and ":0" alike.
  if (display.compare(0, 5, "unix:") == 0) display.erase(0, 4);
  const size_t colon = display.rfind(':');
  const size_t dot = display.find('.', colon == std::string::npos ? 0 : colon);
  if (colon != std::string::npos && dot != std::string::npos) display.erase(dot);
  return "x11" + display;
}

std::string InstanceNameSuffix(const std::string& dataHome, const std::string& session) {
  // FNV-1a over both, with a separator no path or display holds.
  uint64_t hash = 14695981039346656037ull;
  auto add = [&hash](const std::string& text) {
    for (unsigned char c : text) {
      hash ^= c;
      hash *= 1099511628211ull;
    }
    hash ^= 0xff;
    hash *= 1099511628211ull;
  };
  add(dataHome);
  add(session);
  char hex[17];
  snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return hex;
}

bool PeerIsThisUser(long long socketDescriptor) {
  ucred peer{};
  socklen_t size = sizeof peer;
  if (getsockopt(static_cast<int>(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
    return false;
  return peer.uid == getuid();
}

}  // namespace ui
