#pragma once
// A link brought up in a temporary program folder, talking to a scripted port.

#include "dev.h"
#include "fakeport.h"
#include "programdir.h"

#include <QtTest>
#include <memory>

struct LinkFixture {
    explicit LinkFixture(const QString& devDat = QString())
    {
        if (!devDat.isNull())
            folder.writeDevDat(devDat);
        auto p = std::make_unique<testsupport::FakePort>(clock);
        port = p.get();
        dev.setPort(std::move(p));
        dev.setClock(clock);
        loaded = dev.Form_Load();
        dev.bNetAdrr = 1;
    }
    // The same answer for each of n attempts.
    void replyEach(int n, const QByteArray& bytes)
    {
        for (int i = 0; i < n; ++i)
            port->reply(bytes);
    }
    QByteArray log() const { return folder.readFile(QStringLiteral("COM.log")); }

    testsupport::ProgramFolder folder;
    std::shared_ptr<testsupport::FakeClock> clock = std::make_shared<testsupport::FakeClock>();
    testsupport::FakePort* port = nullptr;
    instrument::Dev dev;
    bool loaded = false;
};
