// The C API as an FFI meets it: a whole call, and every wrong argument
// answered with a status and a text on the handle, never a crash.
#include "support/QuickPanel.h"
#include "vek_client.h"

#include "panelsim/Simulator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>

namespace {

using vektest::QuickPanel;

struct Completion {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    vek_status status = VEK_OK;
    std::vector<uint8_t> data;

    void Wait()
    {
        std::unique_lock lock(mutex);
        done.wait(lock, [this] { return finished; });
    }
};

TEST(ClientCApiTest, AWholeCallThroughTheCApi)
{
    panelsim::Simulator sim(QuickPanel());
    ASSERT_TRUE(sim.Start()) << sim.Error();
    const std::vector<uint8_t> memory{0x10, 0x20, 0x30, 0x40, 0x50};
    sim.WriteMemory(0x0100, memory);
    std::atomic<int> events{0};
    vek_library_options options{};
    options.on_event = [](void* context, const vek_event* event) {
        EXPECT_NE(event->name, nullptr);
        static_cast<std::atomic<int>*>(context)->fetch_add(1);
    };
    options.event_context = &events;
    vek_library* lib = nullptr;
    ASSERT_EQ(vek_library_create(&options, &lib), VEK_OK) << vek_library_last_error(nullptr);
    vek_modem modem;
    vek_modem_defaults(&modem);
    const std::string device = sim.SlavePath();
    modem.device = device.c_str();
    modem.port = 6;
    ASSERT_EQ(vek_library_set_modem(lib, &modem), VEK_OK) << vek_library_last_error(lib);
    vek_panel panel;
    vek_panel_defaults(&panel);
    panel.phone = "5551234";
    vek_call* call = nullptr;
    ASSERT_EQ(vek_library_dial(lib, &panel, nullptr, &call), VEK_OK) << vek_library_last_error(lib);
    EXPECT_EQ(vek_call_is_open(call), 1);
    vek_identification id{};
    ASSERT_EQ(vek_call_identification(call, &id), VEK_OK);
    EXPECT_EQ(id.type, 19);
    EXPECT_STREQ(id.format, "02 02 02 block");

    uint8_t buffer[5] = {};
    size_t got = 0;
    ASSERT_EQ(vek_call_read(call, 0x0100, 5, buffer, sizeof buffer, nullptr, &got), VEK_OK);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + got), memory);
    const uint8_t written[3] = {7, 8, 9};
    ASSERT_EQ(vek_call_write(call, 0x0300, written, 3, nullptr), VEK_OK);

    // The asynchronous forms report on the callback thread.
    Completion read;
    ASSERT_EQ(vek_call_read_async(
                  call, 0x0300, 3, nullptr,
                  [](void* context, vek_status status, const uint8_t* data, size_t size, const char*) {
                      auto* c = static_cast<Completion*>(context);
                      std::lock_guard lock(c->mutex);
                      c->status = status;
                      c->data.assign(data, data + size);
                      c->finished = true;
                      c->done.notify_all();
                  },
                  &read),
              VEK_OK);
    read.Wait();
    EXPECT_EQ(read.status, VEK_OK);
    EXPECT_EQ(read.data, (std::vector<uint8_t>{7, 8, 9}));

    vek_line_status status{};
    ASSERT_EQ(vek_call_status(call, &status), VEK_OK);
    EXPECT_EQ(status.efficiency, 10);
    EXPECT_EQ(vek_call_hang_up(call), VEK_OK);
    EXPECT_EQ(vek_call_is_open(call), 0);
    vek_call_destroy(call);
    vek_library_destroy(lib);
    EXPECT_GT(events.load(), 8);
    EXPECT_STREQ(vek_notification_name(90), "panel identified");
    EXPECT_STREQ(vek_cause_name(VEK_CAUSE_BUSY), "BUSY");
    EXPECT_STREQ(vek_cause_name(99), "unknown");
}

// One table: each wrong argument, the status it gets and the words the
// handle keeps. No call reaches the line.
TEST(ClientCApiTest, WrongArgumentsAreAnsweredWithAStatusAndAText)
{
    vek_library* lib = nullptr;
    vek_library_options bad{};
    bad.hang_up_timeout_ms = -5;
    EXPECT_EQ(vek_library_create(&bad, &lib), VEK_ERROR_ARGUMENT);
    EXPECT_EQ(lib, nullptr);
    EXPECT_STREQ(vek_library_last_error(nullptr), "hang_up_timeout_ms is negative");
    EXPECT_EQ(vek_library_create(nullptr, nullptr), VEK_ERROR_ARGUMENT);
    ASSERT_EQ(vek_library_create(nullptr, &lib), VEK_OK);
    vek_library* second = nullptr;
    EXPECT_EQ(vek_library_create(nullptr, &second), VEK_ERROR_STATE);
    EXPECT_NE(std::string(vek_library_last_error(nullptr)).find("already runs in this process"), std::string::npos);

    vek_modem modem;
    vek_panel panel;
    vek_call* call = nullptr;
    int idle = 0;
    struct Case {
        const char* name;
        std::function<vek_status()> run;
        vek_status status;
        const char* words;
    };
    const Case cases[] = {
        {"null modem", [&] { return vek_library_set_modem(lib, nullptr); }, VEK_ERROR_ARGUMENT, "modem is NULL"},
        {"port",
         [&] {
             vek_modem_defaults(&modem);
             modem.port = 300;
             return vek_library_set_modem(lib, &modem);
         },
         VEK_ERROR_ARGUMENT, "modem: port 300 is not 1 to 255"},
        {"escape",
         [&] {
             vek_modem_defaults(&modem);
             modem.escape = "+++++++++";
             return vek_library_set_modem(lib, &modem);
         },
         VEK_ERROR_ARGUMENT, "escape \"+++++++++\" is longer than 7 characters"},
        {"null panel", [&] { return vek_library_dial(lib, nullptr, nullptr, &call); }, VEK_ERROR_ARGUMENT,
         "panel is NULL"},
        {"null call", [&] { return vek_library_dial(lib, &panel, nullptr, nullptr); }, VEK_ERROR_ARGUMENT,
         "call: the handle's address is NULL"},
        {"options",
         [&] {
             vek_panel_defaults(&panel);
             panel.phone = "1";
             panel.options = 0x10000;
             return vek_library_dial(lib, &panel, nullptr, &call);
         },
         VEK_ERROR_ARGUMENT, "options 65536 is not a 16-bit number"},
        {"id code",
         [&] {
             vek_panel_defaults(&panel);
             panel.phone = "1";
             panel.id_code = "zz";
             return vek_library_dial(lib, &panel, nullptr, &call);
         },
         VEK_ERROR_ARGUMENT, "identification code \"zz\" is not hexadecimal"},
        {"call timeout",
         [&] {
             vek_panel_defaults(&panel);
             panel.phone = "1";
             const vek_call_options options{-1};
             return vek_library_dial(lib, &panel, &options, &call);
         },
         VEK_ERROR_ARGUMENT, "timeout_ms -1 is negative"},
        {"idle limit", [&] { return vek_library_wait_idle(lib, -7, &idle); }, VEK_ERROR_ARGUMENT,
         "timeout_ms -7 is neither -1 nor a time"},
        {"idle pointer", [&] { return vek_library_wait_idle(lib, 0, nullptr); }, VEK_ERROR_ARGUMENT, "idle is NULL"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.run(), c.status) << c.name;
        EXPECT_NE(std::string(vek_library_last_error(lib)).find(c.words), std::string::npos)
            << c.name << ": " << vek_library_last_error(lib);
        vek_error error{};
        ASSERT_EQ(vek_library_error(lib, &error), VEK_OK);
        EXPECT_EQ(error.status, c.status) << c.name;
        EXPECT_EQ(error.cause, VEK_CAUSE_INVALID_ARGUMENT) << c.name;
        EXPECT_EQ(call, nullptr) << c.name;
    }
    // Null handles are refused without a text to keep.
    EXPECT_EQ(vek_library_set_modem(nullptr, &modem), VEK_ERROR_ARGUMENT);
    EXPECT_EQ(vek_call_read(nullptr, 0, 1, nullptr, 0, nullptr, nullptr), VEK_ERROR_ARGUMENT);
    EXPECT_EQ(vek_call_hang_up(nullptr), VEK_ERROR_ARGUMENT);
    EXPECT_EQ(vek_call_is_open(nullptr), 0);
    EXPECT_STREQ(vek_call_last_error(nullptr), "");
    EXPECT_EQ(vek_library_wait_idle(lib, 0, &idle), VEK_OK);
    EXPECT_EQ(idle, 1); // no call: nothing to wait for
    vek_call_destroy(nullptr);
    vek_library_destroy(lib);
}

// The arguments of a call's transfers, on a call that is up.
TEST(ClientCApiTest, TransferArgumentsAreCheckedOnTheCallsHandle)
{
    panelsim::Simulator sim(QuickPanel());
    ASSERT_TRUE(sim.Start()) << sim.Error();
    vek_library* lib = nullptr;
    ASSERT_EQ(vek_library_create(nullptr, &lib), VEK_OK);
    vek_modem modem;
    vek_modem_defaults(&modem);
    const std::string device = sim.SlavePath();
    modem.device = device.c_str();
    modem.port = 6;
    ASSERT_EQ(vek_library_set_modem(lib, &modem), VEK_OK);
    vek_panel panel;
    vek_panel_defaults(&panel);
    panel.phone = "5551234";
    vek_call* call = nullptr;
    ASSERT_EQ(vek_library_dial(lib, &panel, nullptr, &call), VEK_OK) << vek_library_last_error(lib);
    uint8_t buffer[8];
    size_t got = 99;
    vek_transfer_options badCommand;
    vek_transfer_defaults(&badCommand);
    badCommand.command = 300;
    vek_transfer_options badChunk;
    vek_transfer_defaults(&badChunk);
    badChunk.chunk = 5000;
    struct Case {
        const char* name;
        std::function<vek_status()> run;
        vek_status status;
        const char* words;
    };
    const Case cases[] = {
        {"buffer", [&] { return vek_call_read(call, 0, 4, nullptr, 4, nullptr, &got); }, VEK_ERROR_ARGUMENT,
         "buffer is NULL"},
        {"capacity", [&] { return vek_call_read(call, 0, 9, buffer, sizeof buffer, nullptr, &got); },
         VEK_ERROR_ARGUMENT, "the buffer holds 8 bytes, fewer than the 9 asked for"},
        {"command", [&] { return vek_call_read(call, 0, 4, buffer, sizeof buffer, &badCommand, &got); },
         VEK_ERROR_ARGUMENT, "command 300 is not a byte"},
        {"chunk", [&] { return vek_call_read(call, 0, 4, buffer, sizeof buffer, &badChunk, &got); }, VEK_ERROR_ARGUMENT,
         "a request of 5000 bytes is more than link mode 2 carries (1024)"},
        {"address", [&] { return vek_call_read(call, 0x20000, 4, buffer, sizeof buffer, nullptr, &got); },
         VEK_ERROR_ARGUMENT, "address 0x20000 is beyond the panel's 64 KiB"},
        {"data", [&] { return vek_call_write(call, 0, nullptr, 4, nullptr); }, VEK_ERROR_ARGUMENT, "data is NULL"},
        {"empty write", [&] { return vek_call_write(call, 0, buffer, 0, nullptr); }, VEK_ERROR_ARGUMENT,
         "nothing to write (count 0)"},
        {"no callback", [&] { return vek_call_read_async(call, 0, 4, nullptr, nullptr, nullptr); }, VEK_ERROR_ARGUMENT,
         "done is NULL"},
        {"status", [&] { return vek_call_status(call, nullptr); }, VEK_ERROR_ARGUMENT, "status is NULL"},
        {"second dial",
         [&] {
             vek_call* other = nullptr;
             return vek_library_dial(lib, &panel, nullptr, &other);
         },
         VEK_ERROR_STATE, "a call is already up"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.run(), c.status) << c.name;
        const std::string text =
            std::string(c.name) == "second dial" ? vek_library_last_error(lib) : vek_call_last_error(call);
        EXPECT_NE(text.find(c.words), std::string::npos) << c.name << ": " << text;
        EXPECT_EQ(got, 0u) << c.name;
        got = 0;
    }
    EXPECT_TRUE(sim.Observe().frames.size() < 3); // the session-open frame, no transfer
    // The call is still fine, and ends cleanly; a closed call is refused.
    EXPECT_EQ(vek_call_read(call, 0, 4, buffer, sizeof buffer, nullptr, &got), VEK_OK);
    EXPECT_EQ(vek_call_hang_up(call), VEK_OK);
    EXPECT_EQ(vek_call_read(call, 0, 4, buffer, sizeof buffer, nullptr, &got), VEK_ERROR_STATE);
    EXPECT_NE(std::string(vek_call_last_error(call)).find("no longer open"), std::string::npos);
    vek_library_destroy(lib);
    // A call kept after its library: refused, and freed without harm.
    EXPECT_EQ(vek_call_write(call, 0, buffer, 1, nullptr), VEK_ERROR_STATE);
    EXPECT_NE(std::string(vek_call_last_error(call)).find("the library has stopped"), std::string::npos);
    vek_call_destroy(call);
}

} // namespace
