#pragma once

class QTcpServer;

// Makes the two servers listen on one free port number: v4 on 127.0.0.1 and, when the machine
// has an IPv6 loopback, v6 on ::1 (clients may resolve "localhost" to either; holding both keeps
// another process from taking the same number on the other family). Returns the port, or 0.
int ListenOnLoopback(QTcpServer &v4, QTcpServer &v6);
