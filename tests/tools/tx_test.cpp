// orvane-tx: what a transmitter keys, read back from "txsyms.txt".
#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>

#include "../receiver/rxtestsupport.h"
#include "tools/tx/txmessage.h"

namespace orv::tools {
namespace {

using receiver::PrintTo;

struct Keyed {
    std::string bits;  // '0' for phase 0, '1' for phase 180
    bool timesRight = true;
    bool crlf = true;
};

// Reads "index start phase" records back; start must be index x period.
Keyed readTxSymbols(double period) {
    Keyed k;
    const std::string text = receiver::readFile(txSymbolFileName);
    std::size_t at = 0, index = 0;
    while (at < text.size()) {
        const auto end = text.find("\r\n", at);
        if (end == std::string::npos) {
            k.crlf = false;
            break;
        }
        const std::string line = text.substr(at, end - at);
        at = end + 2;
        std::size_t i = 0;
        double t = 0;
        const char* p = line.data();
        const char* e = p + line.size();
        p = std::from_chars(p, e, i).ptr + 1;
        p = std::from_chars(p, e, t).ptr + 1;
        k.timesRight = k.timesRight && i == index && t == double(index) * period;
        k.bits += std::string(p, e) == "180" ? '1' : '0';
        ++index;
    }
    return k;
}

class TxFolder : public receiver::ScratchFolder {};

struct Vector {
    const char* name;
    const char* text;
    const char* bytes;
    const char* code;
    const char* bits;
};

class TxCheckVectors : public TxFolder, public ::testing::WithParamInterface<Vector> {};

TEST_P(TxCheckVectors, KeysTheCodedBitsInSendingOrder) {
    const auto& c = GetParam();
    const auto r = runTransmitter({"-N", c.bytes, "-p", c.code, "-S", "0.25", c.text});
    ASSERT_TRUE(r.ok()) << r.error();
    const Keyed k = readTxSymbols(0.25);
    EXPECT_EQ(k.bits, c.bits);
    EXPECT_TRUE(k.timesRight);
    EXPECT_TRUE(k.crlf);
    const std::string count = std::to_string(std::strlen(c.bits)) + " symbols";
    EXPECT_NE(r->output.find(count), std::string::npos) << r->output;
}

INSTANTIATE_TEST_SUITE_P(
    Tx, TxCheckVectors,
    ::testing::Values(
        Vector{"Uncoded", "A", "1", "1", "0100000111010011110110011001111010001011"},
        Vector{"K3", "A", "1", "7,5",
               "00111011000000110110010010111101101001000101111101011111011010010010110011100001"
               "0111"},
        Vector{"K7", "HI", "2", "171,133",
               "00111011001010000010011100101011100101101100111110110000101001100001111001011011"
               "0011111000101110001101101100"},
        Vector{"K15Rate6", "A", "1", "42631,47245,56507,73363,77267,64537",
               "00000011111100011100111001101111111001011001011000111011101100010011001101010101"
               "01001000101010110011011110000010100100100000011100100000001110100101010101000000"
               "01110011000001010011000100010010001101011100000000100101010001101011111010011110"
               "10100001111100000000111101011000011010001111101010101000100100010101010011000011"
               "1111"},
        Vector{"K7Hex", "HI", "2", "0x79,0x5b",
               "00111011001010000010011100101011100101101100111110110000101001100001111001011011"
               "0011111000101110001101101100"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TxFolder, PadsAShortTextWithBlanks) {
    ASSERT_TRUE(runTransmitter({"-N", "3", "-p", "171,133", "-S", "1", "A  "}).ok());
    const std::string typedBlanks = readTxSymbols(1).bits;
    ASSERT_TRUE(runTransmitter({"-N3", "-p171,133", "-S1", "A"}).ok());
    EXPECT_EQ(readTxSymbols(1).bits, typedBlanks);
    EXPECT_EQ(typedBlanks.size(), 2u * (24 + 32 + 6));
}

TEST_F(TxFolder, StartsAreExactMultiplesOfThePeriod) {
    const auto r = runTransmitter({"-N", "1", "-p", "1", "-S", "0.1", "A"});
    ASSERT_TRUE(r.ok()) << r.error();
    EXPECT_NE(receiver::readFile(txSymbolFileName).find("\r\n3 0.3 0\r\n"), std::string::npos);
    EXPECT_NE(r->output.find(", 4 s at 0.1 s"), std::string::npos) << r->output;
}

struct Refused {
    const char* name;
    std::vector<std::string> args;
    const char* message;
};

class TxRefusals : public TxFolder, public ::testing::WithParamInterface<Refused> {};

TEST_P(TxRefusals, ExitBadInputAndKeepTheEarlierFile) {
    receiver::writeFile(txSymbolFileName, "earlier\r\n");
    const auto r = runTransmitter(GetParam().args);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.exitCode(), exitBadInput);
    EXPECT_NE(r.error().find(GetParam().message), std::string::npos) << r.error();
    EXPECT_EQ(receiver::readFile(txSymbolFileName), "earlier\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Tx, TxRefusals,
    ::testing::Values(Refused{"TextLongerThanN", {"-N", "2", "-p", "7,5", "-S", "1", "ABC"}, "more than"},
                      Refused{"NoCode", {"-N", "2", "-p", "0", "-S", "1", "AB"}, "-p 0"},
                      Refused{"NotOctal", {"-N", "2", "-p", "7,9", "-S", "1", "AB"}, "7,9"},
                      Refused{"ZeroLength", {"-N", "0", "-p", "7,5", "-S", "1", ""}, "-N"},
                      Refused{"LengthBeyondDecoder", {"-N", "257", "-p", "7,5", "-S", "1", "A"}, "-N"},
                      Refused{"ZeroPeriod", {"-N", "2", "-p", "7,5", "-S", "0", "AB"}, "-S"},
                      Refused{"EndlessStarts", {"-N", "1", "-p", "1", "-S", "1.7e308", "A"}, "finite"},
                      Refused{"NoText", {"-N", "2", "-p", "7,5", "-S", "1"}, "text"},
                      Refused{"TwoTexts", {"-N", "2", "-p", "7,5", "-S", "1", "A", "B"}, "one text"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orv::tools
