#include <gtest/gtest.h>

#include "command_line.h"

using namespace planora;

namespace {

QStringList list(std::initializer_list<const char*> items) {
    QStringList result;
    for (const char* s : items) {
        result.append(QString::fromUtf8(s));
    }
    return result;
}

}  // namespace

TEST(CommandLineText, SwitchInCapitalsWithQuotedAndPlainFiles) {
    const auto cl = parseCommandLine(QStringLiteral("/SHOWPAR \"/home/x/a b.akt\" /home/x/c.akt"));
    EXPECT_EQ(cl.switches, list({"SHOWPAR"}));
    EXPECT_TRUE(cl.hasSwitch(QStringLiteral("showpar")));
    EXPECT_FALSE(cl.printMode());
    EXPECT_EQ(cl.arguments, list({"/home/x/a b.akt", "/home/x/c.akt"}));
}

TEST(CommandLineText, PrintRegistrationGivesFourArgumentsWithoutQuotes) {
    const auto cl = parseCommandLine(QStringLiteral(
        "/printto \"/home/x/Plan 1.akt\" \"HP LaserJet 4\" \"winspool\" \"IP_10.0.0.7\""));
    EXPECT_TRUE(cl.printMode());
    EXPECT_EQ(cl.arguments,
              list({"/home/x/Plan 1.akt", "HP LaserJet 4", "winspool", "IP_10.0.0.7"}));
    EXPECT_EQ(startupCommands(cl), std::vector<int>{kCommandPrintFromCommandLine});
}

TEST(CommandLineText, OnlyTheKnownSlashSwitchesAndDoubleDashAreSwitches) {
    const auto cl = parseCommandLine(
        QStringLiteral("/home/x/plan.akt /printtox /showPar --Version /tmp/printto"));
    EXPECT_EQ(cl.switches, list({"showPar", "Version"}));
    EXPECT_TRUE(cl.hasSwitch(QStringLiteral("VERSION")));
    EXPECT_FALSE(cl.hasSwitch(QStringLiteral("printto")));
    EXPECT_EQ(cl.arguments, list({"/home/x/plan.akt", "/printtox", "/tmp/printto"}));
}

TEST(CommandLineText, QuoteRules) {
    // A switch inside quotes is still a switch and leaves no text behind.
    auto cl = parseCommandLine(QStringLiteral("\"/home/a /showpar b.akt\""));
    EXPECT_TRUE(cl.hasSwitch(QStringLiteral("showpar")));
    ASSERT_EQ(cl.arguments.size(), 1);
    EXPECT_TRUE(cl.arguments[0].startsWith(QStringLiteral("/home/a ")));
    EXPECT_TRUE(cl.arguments[0].endsWith(QStringLiteral(" b.akt")));
    EXPECT_FALSE(cl.arguments[0].contains(QStringLiteral("showpar")));

    // An unclosed quote runs to the end of the line; trailing blanks go.
    cl = parseCommandLine(QStringLiteral("  \"/home/x/a b.akt  \t"));
    EXPECT_EQ(cl.arguments, list({"/home/x/a b.akt"}));

    // A quote is only special at the start of an argument; after a closing quote a new
    // argument begins.
    cl = parseCommandLine(QStringLiteral("/home/x/a\"b c \"d\"e"));
    EXPECT_EQ(cl.arguments, list({"/home/x/a\"b", "c", "d", "e"}));

    // Every kind of blank separates.
    cl = parseCommandLine(QStringLiteral("a.akt\tb.akt\nc.akt\r\v\fd.akt"));
    EXPECT_EQ(cl.arguments, list({"a.akt", "b.akt", "c.akt", "d.akt"}));

    // An empty pair of quotes keeps its place (the print arguments are positional).
    cl = parseCommandLine(QStringLiteral("/printto \"f.akt\" \"\" \"drv\""));
    EXPECT_EQ(cl.arguments, list({"f.akt", "", "drv"}));
}

TEST(CommandLineText, EmptyLine) {
    const auto cl = parseCommandLine(QStringLiteral("  \t "));
    EXPECT_TRUE(cl.switches.isEmpty());
    EXPECT_TRUE(cl.arguments.isEmpty());
    EXPECT_EQ(startupCommands(cl), std::vector<int>{kCommandShowMainWindow});
    EXPECT_EQ(startAction(cl), StartAction::Run);
}

TEST(CommandLineArgv, EachElementIsOneToken) {
    auto cl = parseCommandLine(list({"/SHOWPAR", "/home/x/a b.akt", "\"q\".akt", "/home/x/c.akt"}));
    EXPECT_TRUE(cl.hasSwitch(QStringLiteral("showpar")));
    EXPECT_EQ(cl.arguments, list({"/home/x/a b.akt", "\"q\".akt", "/home/x/c.akt"}));
    EXPECT_EQ(startupCommands(cl),
              (std::vector<int>{kCommandShowMainWindow, kCommandOpenCommandLineFiles}));

    cl = parseCommandLine(list({"--printto", "/f.akt", "HP 4 ", "", "lpt1"}));
    EXPECT_TRUE(cl.printMode());
    EXPECT_EQ(cl.arguments, list({"/f.akt", "HP 4 ", "", "lpt1"}));
}

TEST(CommandLineArgv, HelpVersionAndTheEndOfSwitches) {
    EXPECT_EQ(startAction(parseCommandLine(list({"a.akt", "--version", "--help"}))),
              StartAction::ShowHelp);
    EXPECT_EQ(startAction(parseCommandLine(list({"--VERSION"}))), StartAction::ShowVersion);

    const auto cl = parseCommandLine(list({"--showpar", "--", "--help", "/printto", "x.akt"}));
    EXPECT_EQ(cl.switches, list({"showpar"}));
    EXPECT_EQ(cl.arguments, list({"--help", "/printto", "x.akt"}));
    EXPECT_EQ(startAction(cl), StartAction::Run);
    EXPECT_FALSE(cl.printMode());
}

TEST(CommandLineTexts, HelpAndVersionAreGermanAndCarryTheBuildVersion) {
    EXPECT_TRUE(versionText().contains(QStringLiteral(PLANORA_VERSION)));
    EXPECT_EQ(programVersion(), QStringLiteral(PLANORA_VERSION));
    EXPECT_TRUE(helpText().startsWith(QStringLiteral("Aufruf: planora")));
    for (const char* option : {"--help", "--version", "--showpar", "--printto"}) {
        EXPECT_TRUE(helpText().contains(QString::fromUtf8(option))) << option;
    }
}
