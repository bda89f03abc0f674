// A property of the client on a line with faults both ways: reads and writes
// of random sizes, addresses and request sizes, several waiting at once,
// each ends exactly once, in the order made, and what it reads is what the
// panel's memory holds by then. A failure names the seed.
#include "support/QuickPanel.h"
#include "vek/client.hpp"

#include "panelsim/Simulator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <map>
#include <mutex>
#include <random>

namespace {

using vek::Bytes;

struct Op {
    bool write = false;
    uint32_t address = 0;
    uint32_t count = 0;
    Bytes data; // a write's bytes
    uint32_t chunk = 0;
};

std::vector<Op> RandomOps(std::mt19937& random, int n)
{
    std::vector<Op> ops;
    for (int i = 0; i < n; ++i) {
        Op op;
        op.write = random() % 2 == 0;
        op.count = 1 + random() % 500;
        op.address = random() % (0x2000 - op.count);
        op.chunk = std::array<uint32_t, 4>{0, 16, 100, 1024}[random() % 4];
        if (op.write) {
            op.data.resize(op.count);
            for (uint8_t& b : op.data)
                b = static_cast<uint8_t>(random());
        }
        ops.push_back(std::move(op));
    }
    return ops;
}

TEST(ClientTransferPropertyTest, EachTransferEndsOnceInOrderWithThePanelsBytes)
{
    for (const uint32_t seed : {11u, 12u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        panelsim::Options options = vektest::QuickPanel();
        options.faults.corruptRate = 0.0005;
        options.faults.onReceived = true;
        options.seed = seed;
        panelsim::Simulator sim(options);
        ASSERT_TRUE(sim.Start()) << sim.Error();
        Bytes model(0x2000);
        for (uint8_t& b : model)
            b = static_cast<uint8_t>(random());
        sim.WriteMemory(0, model);

        vek::Library lib;
        lib.setModem({.port = 8, .device = sim.SlavePath()});
        vek::Call call = lib.dial({.phone = "5551234", .secondSpeed = 9600});
        const std::vector<Op> ops = RandomOps(random, 5);
        std::mutex mutex;
        std::vector<size_t> ended; // the order the completions came in
        std::map<size_t, int> endings;
        std::vector<std::promise<std::pair<bool, Bytes>>> results(ops.size());
        // All of them waiting at once: they are carried one after another.
        for (size_t i = 0; i < ops.size(); ++i) {
            const Op& op = ops[i];
            vek::TransferOptions transfer;
            transfer.chunk = op.chunk;
            const auto record = [&, i](bool ok, Bytes data) {
                std::lock_guard lock(mutex);
                ended.push_back(i);
                if (++endings[i] == 1)
                    results[i].set_value({ok, std::move(data)});
            };
            if (op.write)
                call.writeAsync(op.address, op.data, transfer, [record](std::exception_ptr e) { record(!e, {}); });
            else
                call.readAsync(op.address, op.count, transfer,
                               [record](std::exception_ptr e, Bytes data) { record(!e, std::move(data)); });
        }
        for (size_t i = 0; i < ops.size(); ++i) {
            const Op& op = ops[i];
            auto [ok, data] = results[i].get_future().get();
            ASSERT_TRUE(ok) << "op " << i << " failed on a line that stays up";
            // The panel's memory by the time this transfer ran: the writes
            // before it in order.
            if (op.write)
                std::copy(op.data.begin(), op.data.end(), model.begin() + op.address);
            else
                EXPECT_EQ(data, Bytes(model.begin() + op.address, model.begin() + op.address + op.count)) << "op " << i;
        }
        EXPECT_EQ(sim.ReadMemory(0, model.size()), model);
        call.hangUp();
        std::lock_guard lock(mutex);
        std::vector<size_t> inOrder(ops.size());
        for (size_t i = 0; i < inOrder.size(); ++i)
            inOrder[i] = i;
        EXPECT_EQ(ended, inOrder);
        for (const auto& [op, count] : endings)
            EXPECT_EQ(count, 1) << "op " << op;
    }
}

} // namespace
