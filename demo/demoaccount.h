#pragma once

#include "demo/demomailbox.h"
#include "devserver/dovecotfixture.h"

// The demo mailbox as an account of the local server, signed in with "demo-Pass-1".
DovecotFixture::Account CreateDemoAccount(DovecotFixture &server, const QList<DemoFolder> &demo);
