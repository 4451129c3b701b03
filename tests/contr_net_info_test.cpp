#include "contr_net_info.h"

#include <gtest/gtest.h>

#include "files.h"

namespace {

/// The fields `read` fills, as "ip|mask|flag|name|configured|aux|systems".
std::string fields_of(const contr_net_info& i) {
  return i.ip_contr + "|" + i.mask_contr + "|" + (i.not_configured ? "1" : "0") + "|" +
         i.contr_name + "|" + i.ip_configured + "|" + i.aux + "|" + i.systems;
}

TEST(ContrNetInfoRead, BodyForms) {
  const std::string m = "10.0.0.5|255.255.255.0|";  // what every case reads first
  struct Case {
    std::string body, fields;
  } cases[] = {
      {"10.0.0.5 255.255.255.0 1", m + "1||||"},
      {"10.0.0.5 255.255.255.0 0 K1 10.0.0.5 aux sys", m + "0|K1|10.0.0.5|aux|sys"},
      {"10.0.0.5 255.255.255.0 0 K1 10.0.0.5 aux sys eighth", m + "0|K1|10.0.0.5|aux|sys"},
      {"\n 10.0.0.5\r\n255.255.255.0\t0\nK1\n\n10.0.0.5\vaux\fsys\r\n",
       m + "0|K1|10.0.0.5|aux|sys"},
      {"10.0.0.5 255.255.255.0 +1 K", m + "1||||"},
      {"10.0.0.5 255.255.255.0 01 K", m + "1||||"},
      {"10.0.0.5 255.255.255.0 -0 K a b c", m + "0|K|a|b|c"},
      {"10.0.0.5 255.255.255.0 2 K a b c", m + "1||||"},
      {"10.0.0.5 255.255.255.0 -1 K a b c", m + "1||||"},
      {"10.0.0.5 255.255.255.0 99999999999999999999 K a b c", m + "1||||"},
      {"10.0.0.5 255.255.255.0 0abc x y z", m + "0|abc|x|y|z"},
      {"10.0.0.5 255.255.255.0 word K a b c", m + "0||||"},
      {"10.0.0.5 255.255.255.0 + K", m + "0||||"},
      {"10.0.0.5 255.255.255.0 0 K1 10.0.0.5", m + "0|K1|10.0.0.5||"},
      {"10.0.0.5 255.255.255.0 0", m + "0||||"},
      {"10.0.0.5 255.255.255.0", m + "0||||"},
      {"10.0.0.5", "10.0.0.5||0||||"},
      {"", "||0||||"},
      {" \t\r\n", "||0||||"},
      {"a.b junk 0 Имя 1.2.3.4 x Системы", "a.b|junk|0|Имя|1.2.3.4|x|Системы"},
  };
  for (const Case& c : cases) {
    contr_net_info info;
    info.ip_pc = "pc";
    info.mask_pc = "mask";
    info.available = true;
    info.read(c.body);
    EXPECT_EQ(fields_of(info), c.fields) << "body: " << c.body;
    // read never touches these
    EXPECT_EQ(info.ip_pc + info.mask_pc, "pcmask");
    EXPECT_TRUE(info.available);
  }
}

TEST(ContrNetInfoRead, FieldsAreCappedAtWholeLetters) {
  const std::string k1024(1024, 'k'), k1025(1025, 'k');
  // "Ж" is D0 96: with 1023 ASCII bytes before it, byte 1024 is D0 and the
  // first dropped byte (96) continues it, so the letter goes whole. (Built
  // by appending: GCC bug 105651, see docs/testing.md.)
  std::string split(1023, 'a');
  split += "ЖЖ";
  // Only Cyrillic: 1024 is even, the cut falls between letters.
  std::string cyr;
  while (cyr.size() < 3000)
    cyr += "Ж";
  // A 4-byte sequence split after its second byte: the cut moves back two.
  std::string four(1022, 'a');
  four += "\xf0\x9f\x98\x80" "z";
  // Continuation bytes only: the cut moves back three bytes at the most.
  const std::string junk(2000, '\x80');
  struct Case {
    std::string field;
    std::string kept;
  } cases[] = {
      {k1024, k1024},     {k1025, k1024},       {std::string(1 << 20, 'x'), std::string(1024, 'x')},
      {split, std::string(1023, 'a')},    {cyr, cyr.substr(0, 1024)},
      {four, std::string(1022, 'a')},     {junk, std::string(1021, '\x80')},
  };
  for (const Case& c : cases) {
    // The same field in every position; the reading goes on after it.
    contr_net_info info;
    info.read(c.field + " " + c.field + " 0 " + c.field + " " + c.field +
              " " + c.field + " " + c.field + " more");
    const std::string k = c.kept + "|";
    EXPECT_EQ(fields_of(info), k + k + "0|" + k + k + k + c.kept) << c.field.size();
  }
  // Kept texts compare equal although the reported ones differ after the
  // cut.
  contr_net_info info;
  info.ip_pc = "0.0.0.0";
  info.mask_pc = "0.0.0.0";
  info.read(k1024 + "a 0.0.0.0 0 name " + k1024 + "b x sys");
  std::string line;
  info.get_print(line);
  EXPECT_EQ(line, "kkkkkkkkkkkkkkk... 'контроллер доступен' name\tsys");
}

TEST(ParseIPv4String, Values) {
  struct Case {
    std::string text;
    uint32_t value;
  } cases[] = {
      {"192.168.1.10", 0xC0A8010Au},
      {"255.255.255.0", 0xFFFFFF00u},
      {"0.0.0.0", 0u},
      {"1.2.3.300", 0x0102032Cu},  // 300 sets a bit of the third number
      {"1.2.3.44", 0x0102032Cu},
      {"256.0.0.0", 0u},           // shifted beyond 32 bits
      {"1.2.3", 0x01020300u},      // missing numbers count as 0
      {"1", 0x01000000u},          {"", 0u},                    {"word", 0u},
      {"1.x.3.4", 0x01000000u},    {" 10.0.0.1", 0x0A000001u},
  };
  for (const Case& c : cases)
    EXPECT_EQ(parse_IPv4_string(c.text), c.value) << c.text;
}

TEST(CheckIpsMasks, Verdicts) {
  const std::string kByContr = "(ip_pc & mask_contr) != (ip_contr & mask_contr)";
  const std::string kByPc = "(ip_pc & mask_pc) != (ip_contr & mask_pc)";
  struct Case {
    std::string ip_pc, mask_pc, ip_contr, mask_contr;
    bool reachable;
    std::string reason;
  } cases[] = {
      {"192.168.1.20", "255.255.255.0", "192.168.1.10", "255.255.255.0", true, "old"},
      {"192.168.2.5", "255.255.255.0", "192.168.1.10", "255.255.0.0", false, kByPc},
      {"192.168.1.20", "255.255.255.0", "10.0.0.5", "255.0.0.0", false, kByContr},
      {"192.168.1.20", "255.255.0.0", "192.168.2.10", "255.255.255.0", false, kByContr},
      {"1.2.3.4", "0.0.0.0", "200.1.1.1", "0.0.0.0", true, "old"},
      {"1.2.3.44", "255.255.255.255", "1.2.3.300", "255.255.255.255", true, "old"},
      {"192.168.1.20", "255.255.255.0", "", "", false, kByPc},
      {"", "", "", "", true, "old"},
  };
  for (const Case& c : cases) {
    contr_net_info info;
    info.ip_pc = c.ip_pc;
    info.mask_pc = c.mask_pc;
    info.ip_contr = c.ip_contr;
    info.mask_contr = c.mask_contr;
    std::string reason = "old";
    EXPECT_EQ(info.check_ips_masks(reason), c.reachable) << c.ip_contr;
    EXPECT_EQ(reason, c.reason) << c.ip_contr;
  }
}

// The six shapes of a status line; of the address field at most 15
// characters, as many as a dotted quad has, then "...", so that its tail
// cannot wrap into a row of its own, while the verdict is taken on the
// whole field; every text of the controller's made safe for the terminal.
TEST(GetPrint, Lines) {
  const std::string ok = " 'контроллер доступен'", no = " 'нет доступа к контроллеру' ";
  const std::string by_contr = "(ip_pc & mask_contr) != (ip_contr & mask_contr)";
  const std::string by_pc = "(ip_pc & mask_pc) != (ip_contr & mask_pc)";
  const std::string unconf = " сетевые настройки не сконфигурированы";
  const std::string differs = " Ошибка: настроенный адрес не совпадает с реальным.";
  const auto at = [](const std::string& ip) { return ip + " 255.255.255.0 0 K " + ip + " a S"; };
  std::string forged = "192.168.1.10";
  forged.append(68, '=');
  forged += "192.168.1.77";  // 92 characters
  const char escapes[] = "\x1b[8m \x07 0 K\x1b]0;x\x07\0n\x7f\b \x1b[8m a S\xc2\x9b" "2J\x1b[H";
  struct Case {
    std::string body;
    bool available;
    std::string line;
  } cases[] = {
      {"192.168.1.10 255.255.255.0 0 K1 192.168.1.10 a Отопление", true,
       "192.168.1.10" + ok + " K1\tОтопление"},
      {"192.168.1.10 255.255.255.0 1", true, "192.168.1.10" + ok + unconf},
      {"192.168.1.10 255.255.255.0 0 K1 192.168.1.11 a s", true, "192.168.1.10" + ok + differs},
      {"10.0.0.5 255.0.0.0 0 K2 10.0.0.5 a s", false, "10.0.0.5" + no + by_contr + " K2\ts"},
      {"10.0.0.5 255.0.0.0 1", false, "10.0.0.5" + no + by_contr + unconf},
      {"10.0.0.5 255.0.0.0 0 K2 10.0.0.6 a s", false, "10.0.0.5" + no + by_contr + differs},
      // Both addresses empty and so equal, name and systems empty: the
      // line ends in a blank and a tab.
      {"", false, no + by_pc + " \t"},
      {at("192.168.001.100"), true, "192.168.001.100" + ok + " K\tS"},
      {at("192.168.100.1000"), false, "192.168.100.100..." + no + by_contr + " K\tS"},
      {at(forged), true, "192.168.1.10===..." + ok + " K\tS"},
      {at(testutil::cyrillic(32)), false, "ЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖ..." + no + by_contr + " K\tS"},
      // Filtered first: each '?' is one character, however many bytes it
      // stands for, and a stray byte before a letter does not split it.
      {at("192.168.1.\x1b[2J\x1b[H"), true, "192.168.1.?[2J?..." + ok + " K\tS"},
      {at(testutil::repeated("\xf0\x9f\x98\x80", 40)), false,
       "???????????????..." + no + by_contr + " K\tS"},
      {at("\x9b" + testutil::cyrillic(32)), false, "?ЖЖЖЖЖЖЖЖЖЖЖЖЖЖ..." + no + by_contr + " K\tS"},
      {std::string(escapes, sizeof escapes - 1), false,
       "?[8m" + no + by_pc + " K?]0;x??n??\tS?2J?[H"},
  };
  for (const Case& c : cases) {
    contr_net_info info;
    info.ip_pc = "192.168.1.20";
    info.mask_pc = "255.255.255.0";
    info.read(c.body);
    std::string line = "old text";
    info.get_print(line);
    EXPECT_EQ(line, c.line) << c.body;
    EXPECT_EQ(info.available, c.available) << c.body;
  }
  // The record keeps the bytes as they came: the page escapes them itself.
  contr_net_info info;
  info.read(std::string(escapes, sizeof escapes - 1));
  EXPECT_EQ(info.contr_name, std::string("K\x1b]0;x\x07\0n\x7f\b", 11));
}

TEST(GetPrint, NotConfiguredWinsOverTheAddressComparison) {
  contr_net_info info;
  info.ip_pc = "10.0.0.1";
  info.mask_pc = "255.0.0.0";
  info.ip_contr = "10.0.0.5";
  info.mask_contr = "255.0.0.0";
  info.not_configured = true;
  info.ip_configured = "10.0.0.5";
  std::string line;
  info.get_print(line);
  EXPECT_EQ(line, "10.0.0.5 'контроллер доступен' сетевые настройки не сконфигурированы");
}

}  // namespace
