#pragma once
// Log lines of the network client. The Russian ones are Windows-1251 bytes
// (CLog::WriteCyr widens them as such on every platform).
#include "log/Log.h"

namespace netlog {

// "Невозможно создать TCP сокет"
inline constexpr char kNoTcpSocket[] =
    "\xcd\xe5\xe2\xee\xe7\xec\xee\xe6\xed\xee \xf1\xee\xe7\xe4\xe0\xf2\xfc TCP \xf1\xee\xea\xe5\xf2";
// "Ошибка подключения к прокси-серверу"
inline constexpr char kProxyConnectError[] =
    "\xce\xf8\xe8\xe1\xea\xe0 \xef\xee\xe4\xea\xeb\xfe\xf7\xe5\xed\xe8\xff \xea "
    "\xef\xf0\xee\xea\xf1\xe8-\xf1\xe5\xf0\xe2\xe5\xf0\xf3";
// "connect ту прокси ok"
inline constexpr char kProxyConnected[] = "connect \xf2\xf3 \xef\xf0\xee\xea\xf1\xe8 ok";
// "Ошибка подключения к серверу %s"
inline constexpr char kServerConnectError[] =
    "\xce\xf8\xe8\xe1\xea\xe0 \xef\xee\xe4\xea\xeb\xfe\xf7\xe5\xed\xe8\xff \xea "
    "\xf1\xe5\xf0\xe2\xe5\xf0\xf3 %s";
// "connect ту %s ok"
inline constexpr char kServerConnected[] = "connect \xf2\xf3 %s ok";

template <class... Args>
void A(CLog* log, const char* fmt, Args... args) {
  if (log) log->WriteA(fmt, args...);
}

template <class... Args>
void Cyr(CLog* log, const char* fmt, Args... args) {
  if (log) log->WriteCyr(fmt, args...);
}

}  // namespace netlog
