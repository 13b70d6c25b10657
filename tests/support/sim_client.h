#pragma once
// Test helper: talks to a simulated unit over its pty through the tool's own serial
// link and receive assembler, and keeps what came back.

#include "link/frame.h"
#include "link/receive_assembler.h"
#include "port/serial_link.h"

#include <QTest>

#include <vector>

namespace halvo::test {

class SimClient
{
public:
    bool open(const QString &path)
    {
        QObject::connect(&link, &port::SerialLink::bytesReceived, [this] {
            assembler.push(link.read(1 << 20));
            while (auto item = assembler.next())
                items.push_back(*item);
        });
        QObject::connect(&link, &port::SerialLink::linkLost, [this](const QString &) { ++lost; });
        return link.open(path);
    }

    std::vector<link::ReceiveItem> ofKind(link::ReceiveItem::Kind kind) const
    {
        std::vector<link::ReceiveItem> out;
        for (const auto &i : items)
            if (i.kind == kind)
                out.push_back(i);
        return out;
    }
    size_t count(link::ReceiveItem::Kind kind) const { return ofKind(kind).size(); }
    size_t replies(char code) const
    {
        size_t n = 0;
        for (const auto &i : ofKind(link::ReceiveItem::Kind::Reply))
            n += i.data.at(1) == code ? 1 : 0;
        return n;
    }
    bool waitForReplies(char code, size_t n, int ms = 5000)
    {
        return QTest::qWaitFor([&] { return replies(code) >= n; }, ms);
    }

    port::SerialLink link;
    link::ReceiveAssembler assembler;
    std::vector<link::ReceiveItem> items;
    int lost = 0;
};

} // namespace halvo::test
