// The Hayes modem on its own, on a clock the test moves: command lines,
// result words, dialling, ringing, the escape and the extended commands.
#include "PanelsimHostLine.h"
#include "panelsim/Modem.h"
#include "panelsim/ModemCommandLine.h"

#include <gtest/gtest.h>

namespace panelsim::test {
namespace {

using std::chrono::milliseconds;

std::string Render(const std::vector<ModemCommand>& commands)
{
    std::string text;
    for (const ModemCommand& c : commands) {
        if (!text.empty())
            text += ' ';
        switch (c.kind) {
        case ModemCommand::Kind::SetRegister:
            text += "S" + std::to_string(c.number) + "=" + std::to_string(c.value);
            break;
        case ModemCommand::Kind::QueryRegister: text += "S" + std::to_string(c.number) + "?"; break;
        case ModemCommand::Kind::Dial: text += "D[" + c.text + "]"; break;
        case ModemCommand::Kind::Extended: text += c.text; break;
        case ModemCommand::Kind::Ampersand:
        case ModemCommand::Kind::Basic:
            text += (c.kind == ModemCommand::Kind::Ampersand ? "&" : "") + std::string(1, c.letter);
            if (c.number >= 0)
                text += std::to_string(c.number);
            break;
        }
    }
    return text;
}

TEST(PanelsimModemTest, SplitsCommandLinesIntoCommands)
{
    const std::pair<const char*, const char*> cases[] = {
        {"S7=250S10=255S9=1S12=10F1Q0C1V1E0", "S7=250 S10=255 S9=1 S12=10 F1 Q0 C1 V1 E0"},
        {"S7=250S10=255S9=1S12=10F1Q0C1V1E0$W", "S7=250 S10=255 S9=1 S12=10 F1 Q0 C1 V1 E0 $W"},
        {"M0", "M0"},
        {"z", "Z"},
        {"", ""},
        {"E", "E"},
        {"S0?", "S0?"},
        {"s0=3", "S0=3"},
        {"DT5551234R", "D[T5551234R]"},
        {"E0 DP 555-1234", "E0 D[P 555-1234]"},
        {"$WA", "$WA"},
        {"&CDS", "&CDS"},
        {"&CDSA", "&CDSA"},
        {"&C1&D2", "&C1 &D2"},
        {"H0", "H0"},
        {"+FCLASS=0", "+FCLASS=0"},
    };
    for (const auto& [line, expected] : cases) {
        const auto commands = ParseCommandLine(line);
        ASSERT_TRUE(commands) << line;
        EXPECT_EQ(Render(*commands), expected) << line;
    }
    EXPECT_FALSE(ParseCommandLine("1"));
    EXPECT_FALSE(ParseCommandLine("E0#"));
    EXPECT_EQ(DialledNumber("T5551234R"), "5551234");
    EXPECT_EQ(DialledNumber("P 555-1234;"), "5551234");
    EXPECT_EQ(DialledNumber("T,,123W*9#"), "123*9#");
}

class ModemDriver {
public:
    explicit ModemDriver(ModemOptions options = {}) : m_modem(options) {}

    std::string Type(std::string_view text)
    {
        for (const char c : text)
            m_modem.Receive(static_cast<uint8_t>(c), m_now);
        return m_modem.TakeOutput();
    }
    std::string Wait(milliseconds spell)
    {
        m_now += spell;
        m_modem.Tick(m_now);
        return m_modem.TakeOutput();
    }
    std::vector<ModemEvent::Kind> Events()
    {
        std::vector<ModemEvent::Kind> kinds;
        for (const ModemEvent& e : m_modem.TakeEvents())
            if (e.kind != ModemEvent::Kind::Result && e.kind != ModemEvent::Kind::CommandLine)
                kinds.push_back(e.kind);
        return kinds;
    }
    std::string Connect(std::string_view number = "1")
    {
        Type("ATE0\r");
        Type("ATS12=5\r");
        Type("ATD" + std::string(number) + "\r");
        const std::string result = Wait(milliseconds(1000));
        Events();
        return result;
    }
    Modem& modem() { return m_modem; }

private:
    Modem m_modem;
    Time m_now{};
};

TEST(PanelsimModemTest, AnswersCommandLinesWithResultWords)
{
    const std::pair<const char*, const char*> echoed[] = {
        {"ATZ\r", "ATZ\r\r\nOK\r\n"},
        {"AT\r", "AT\r\r\nOK\r\n"},
        {"ATS7=250S10=255S9=1S12=10F1Q0C1V1E0\r", "ATS7=250S10=255S9=1S12=10F1Q0C1V1E0\r\r\nOK\r\n"},
        {"ATM0\r", "ATM0\r\r\nOK\r\n"},
        {"ATS0?\r", "ATS0?\r\r\n000\r\n\r\nOK\r\n"},
        {"ATS300=1\r", "ATS300=1\r\r\nERROR\r\n"},
        {"AT1\r", "AT1\r\r\nERROR\r\n"},
        {"ATO\r", "ATO\r\r\nNO CARRIER\r\n"},
        {"AT$WA\r", "AT$WA\r\r\nNO CARRIER\r\n"},
        {"AT&CDS\r", "AT&CDS\r\r\nOK\r\n"},
        {"ATA\r", "ATA\r\r\nNO CARRIER\r\n"},
        {"HELLO\r", "HELLO\r"},
        {"xxAT\r", "xxAT\r\r\nOK\r\n"},
        {"A\xFFT\xFF\r", "AT\r\r\nOK\r\n"},
        {"ATX\x08Z\r", "ATX\x08Z\r\r\nOK\r\n"},
    };
    for (const auto& [line, expected] : echoed) {
        ModemDriver driver;
        EXPECT_EQ(driver.Type(line), expected) << line;
    }

    ModemDriver driver;
    EXPECT_EQ(driver.Type("ATE0\r"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(driver.Type("ATS0=3\r"), "\r\nOK\r\n");
    EXPECT_EQ(driver.modem().Register(0), 3);
    EXPECT_EQ(driver.Type("ATV0\r"), "0\r");
    EXPECT_EQ(driver.Type("ATQ1\r"), "");
    // The reset is typed without echo, and answers as the reset modem does.
    EXPECT_EQ(driver.Type("ATZ\r"), "\r\nOK\r\n");
    EXPECT_EQ(driver.modem().Register(0), 0);
    EXPECT_EQ(driver.Type("AT\r"), "AT\r\r\nOK\r\n");
}

TEST(PanelsimModemTest, DialsToTheScriptedOutcomeAfterTheDelay)
{
    struct Case {
        const char* number;
        DialScript script;
        const char* result;
        ModemPhase phase;
    };
    const Case cases[] = {
        {"5551234", {DialOutcome::Connect, 0, -1}, "\r\nCONNECT\r\n", ModemPhase::Online},
        {"5551235", {DialOutcome::Connect, 9600, 200}, "\r\nCONNECT 9600\r\n", ModemPhase::Online},
        {"5551236", {DialOutcome::Busy, 0, -1}, "\r\nBUSY\r\n", ModemPhase::Command},
        {"5551237", {DialOutcome::NoCarrier, 0, -1}, "\r\nNO CARRIER\r\n", ModemPhase::Command},
        {"5551238", {DialOutcome::NoDialtone, 0, -1}, "\r\nNO DIALTONE\r\n", ModemPhase::Command},
        {"5551239", {DialOutcome::NoAnswer, 0, -1}, "\r\nNO ANSWER\r\n", ModemPhase::Command},
        {"5551240", {DialOutcome::Silence, 0, -1}, "", ModemPhase::Command},
        {"999", {DialOutcome::Busy, 0, -1}, "\r\nBUSY\r\n", ModemPhase::Command}, // not listed: the default
    };
    for (const Case& c : cases) {
        ModemOptions options;
        options.dialDelayMs = 300;
        options.unknownNumber.outcome = DialOutcome::Busy;
        options.numbers[c.number] = c.script;
        ModemDriver driver(options);
        driver.Type("ATE0\r");
        EXPECT_EQ(driver.Type(std::string("ATDT") + c.number + "R\r"), "") << c.number;
        EXPECT_EQ(driver.Wait(milliseconds(150)), "") << c.number;
        EXPECT_EQ(driver.Wait(milliseconds(200)), c.result) << c.number;
        EXPECT_EQ(driver.modem().Phase(), c.phase) << c.number;
    }
}

TEST(PanelsimModemTest, RingsAndAnswersAtTheRingCountOfS0)
{
    ModemOptions options;
    options.ringIntervalMs = 1000;
    options.answerDelayMs = 500;
    ModemDriver driver(options);
    driver.Type("ATE0\r");
    driver.Type("ATS0=2\r");
    driver.modem().Ring(5, Time{});
    EXPECT_EQ(driver.modem().TakeOutput(), "\r\nRING\r\n");
    EXPECT_EQ(driver.Wait(milliseconds(900)), "");
    EXPECT_EQ(driver.Wait(milliseconds(100)), "\r\nRING\r\n");
    EXPECT_EQ(driver.modem().Phase(), ModemPhase::Answering);
    EXPECT_EQ(driver.Wait(milliseconds(500)), "\r\nCONNECT\r\n");
    const std::vector<ModemEvent> events = driver.modem().TakeEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().kind, ModemEvent::Kind::CallUp);
    EXPECT_TRUE(events.back().answered);

    // With S0=0 the modem lets the caller ring out.
    ModemDriver silent(options);
    silent.Type("ATE0\r");
    silent.modem().Ring(2, Time{});
    EXPECT_EQ(silent.modem().TakeOutput(), "\r\nRING\r\n");
    EXPECT_EQ(silent.Wait(milliseconds(1000)), "\r\nRING\r\n");
    EXPECT_EQ(silent.Wait(milliseconds(1000)), "");
    EXPECT_EQ(silent.modem().Phase(), ModemPhase::Command);
}

TEST(PanelsimModemTest, EscapesOnlyWithGuardTimeOnBothSides)
{
    ModemDriver driver;
    ASSERT_EQ(driver.Connect(), "\r\nCONNECT\r\n");
    // Guard time S12=5 is 100 ms. Pluses straight after data are data.
    EXPECT_EQ(driver.Type("ab+++"), "");
    EXPECT_EQ(driver.Wait(milliseconds(150)), "");
    EXPECT_EQ(driver.modem().TakeData(), ToBytes("ab+++"));
    // A fourth plus, or another byte, breaks the sequence.
    EXPECT_EQ(driver.Type("++++"), "");
    EXPECT_EQ(driver.Wait(milliseconds(150)), "");
    EXPECT_EQ(driver.modem().TakeData(), ToBytes("++++"));
    EXPECT_EQ(driver.Type("++x"), "");
    EXPECT_EQ(driver.modem().TakeData(), ToBytes("++x"));
    EXPECT_EQ(driver.Wait(milliseconds(150)), "");
    EXPECT_EQ(driver.Type("+++"), "");
    EXPECT_EQ(driver.Wait(milliseconds(50)), "");
    EXPECT_EQ(driver.Wait(milliseconds(60)), "\r\nOK\r\n");
    EXPECT_TRUE(driver.modem().TakeData().empty());
    EXPECT_EQ(driver.modem().Phase(), ModemPhase::OnlineCommand);
    EXPECT_EQ(driver.Events(), (std::vector{ModemEvent::Kind::Escaped}));

    EXPECT_EQ(driver.Type("ATO\r"), "\r\nCONNECT\r\n");
    EXPECT_TRUE(driver.modem().InDataMode());
    driver.Wait(milliseconds(150));
    driver.Type("+++");
    EXPECT_EQ(driver.Wait(milliseconds(150)), "\r\nOK\r\n");
    EXPECT_EQ(driver.Type("ATH0\r"), "\r\nOK\r\n");
    EXPECT_EQ(driver.modem().Phase(), ModemPhase::Command);
    EXPECT_EQ(driver.Events(),
              (std::vector{ModemEvent::Kind::DataResumed, ModemEvent::Kind::Escaped, ModemEvent::Kind::CallDown}));
}

TEST(PanelsimModemTest, ExtendedCommandsResumeTheCall)
{
    const std::pair<const char*, const char*> cases[] = {
        {"AT$WA\r", "\r\nCONNECT\r\n"}, {"AT&CDSA\r", "\r\nCONNECT\r\n"}, {"AT&CDS\r", "\r\nOK\r\n"}};
    for (const auto& [command, result] : cases) {
        ModemDriver driver;
        EXPECT_EQ(driver.Type("ATS7=250S10=255S9=1S12=10F1Q0C1V1E0$W\r"),
                  "ATS7=250S10=255S9=1S12=10F1Q0C1V1E0$W\r\r\nOK\r\n");
        EXPECT_TRUE(driver.modem().ExtendedSeen());
        ASSERT_EQ(driver.Connect(), "\r\nCONNECT\r\n");
        driver.Wait(milliseconds(150));
        driver.Type("+++");
        EXPECT_EQ(driver.Wait(milliseconds(150)), "\r\nOK\r\n");
        EXPECT_EQ(driver.Type(command), result) << command;
        EXPECT_TRUE(driver.modem().InDataMode()) << command;
    }
}

TEST(PanelsimModemTest, AnyExtendedCommandShowsAnExtendedHost)
{
    // The "$W" suffix goes out for some panels only; every extended host
    // sends "&CDS" or "&CDSA" once the panel takes a speed change.
    const std::pair<const char*, bool> cases[] = {
        {"AT&CDS\r", true}, {"AT&CDSA\r", true}, {"AT$WA\r", true}, {"ATM0\r", false}, {"AT&C1\r", false}};
    for (const auto& [command, extended] : cases) {
        ModemDriver driver;
        driver.Type("ATS7=250S10=255S9=1S12=10F1Q0C1V1E0\r");
        EXPECT_FALSE(driver.modem().ExtendedSeen());
        ASSERT_EQ(driver.Connect(), "\r\nCONNECT\r\n");
        driver.Wait(milliseconds(150));
        driver.Type("+++");
        driver.Wait(milliseconds(150));
        driver.Type(command);
        EXPECT_EQ(driver.modem().ExtendedSeen(), extended) << command;
    }
}

TEST(PanelsimModemTest, LosingTheCarrierEndsTheCall)
{
    ModemDriver driver;
    ASSERT_EQ(driver.Connect(), "\r\nCONNECT\r\n");
    driver.modem().DropCarrier(Time{});
    EXPECT_EQ(driver.modem().TakeOutput(), "\r\nNO CARRIER\r\n");
    EXPECT_EQ(driver.modem().Phase(), ModemPhase::Command);
    EXPECT_EQ(driver.Events(), (std::vector{ModemEvent::Kind::CarrierLost}));
    EXPECT_EQ(driver.Type("AT\r"), "\r\nOK\r\n");
}

} // namespace
} // namespace panelsim::test
