#include "transport/ServerAddress.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

struct AddressCase {
    const char *name;
    QString text;
    MailProtocol protocol;
    QString host;
    quint16 port;
    TlsMode tls;
};

class ServerAddressTable : public testing::TestWithParam<AddressCase> {};

TEST_P(ServerAddressTable, ReadsTheSetting)
{
    const AddressCase &c = GetParam();
    QString error;
    const std::optional<ServerAddress> address = parseServerAddress(c.text, c.protocol, &error);
    ASSERT_TRUE(address) << error.toStdString();
    EXPECT_EQ(address->host, c.host);
    EXPECT_EQ(address->port, c.port);
    EXPECT_EQ(address->tls, c.tls);
}

constexpr auto Pop3 = MailProtocol::Pop3;
constexpr auto Smtp = MailProtocol::Smtp;
constexpr auto StartTls = TlsMode::StartTlsWhenOffered;
constexpr auto Implicit = TlsMode::Implicit;
constexpr auto OrPlain = TlsMode::StartTlsOrPlain;

INSTANTIATE_TEST_SUITE_P(
    Valid, ServerAddressTable,
    testing::Values(AddressCase{"bare_pop3_host", u"pop.example.jp"_qs, Pop3, u"pop.example.jp"_qs,
                                110, StartTls},
                    AddressCase{"bare_smtp_host", u"smtp.example.jp"_qs, Smtp,
                                u"smtp.example.jp"_qs, 25, StartTls},
                    AddressCase{"blanks_around", u"  pop.example.jp \t"_qs, Pop3,
                                u"pop.example.jp"_qs, 110, StartTls},
                    AddressCase{"host_and_port", u"pop.example.jp:1110"_qs, Pop3,
                                u"pop.example.jp"_qs, 1110, StartTls},
                    AddressCase{"pop3_url", u"pop3://pop.example.jp"_qs, Pop3, u"pop.example.jp"_qs,
                                110, StartTls},
                    AddressCase{"pop3s_url", u"pop3s://pop.example.jp"_qs, Pop3,
                                u"pop.example.jp"_qs, 995, Implicit},
                    AddressCase{"pop3s_url_port_slash", u"POP3S://pop.example.jp:1995/"_qs, Pop3,
                                u"pop.example.jp"_qs, 1995, Implicit},
                    AddressCase{"smtps_url", u"smtps://smtp.example.jp"_qs, Smtp,
                                u"smtp.example.jp"_qs, 465, Implicit},
                    AddressCase{"smtp_url_submission", u"smtp://smtp.example.jp:587"_qs, Smtp,
                                u"smtp.example.jp"_qs, 587, StartTls},
                    AddressCase{"ipv6_with_port", u"[::1]:2110"_qs, Pop3, u"::1"_qs, 2110,
                                StartTls},
                    AddressCase{"ipv4", u"127.0.0.1:110"_qs, Pop3, u"127.0.0.1"_qs, 110, StartTls},
                    AddressCase{"pop3_plain_url", u"pop3+plain://pop.example.jp"_qs, Pop3,
                                u"pop.example.jp"_qs, 110, OrPlain},
                    AddressCase{"smtp_plain_url_port", u"SMTP+Plain://smtp.example.jp:587"_qs, Smtp,
                                u"smtp.example.jp"_qs, 587, OrPlain}),
    [](const testing::TestParamInfo<AddressCase> &info) { return std::string(info.param.name); });

TEST(ServerAddress, RefusesWhatNamesNoServerWithAJapaneseReason)
{
    const struct {
        QString text;
        MailProtocol protocol;
    } cases[] = {
        {u""_qs, Pop3},
        {u"   "_qs, Pop3},
        {u"pop.example.jp:0"_qs, Pop3},
        {u"pop.example.jp:70000"_qs, Pop3},
        {u"pop.example.jp:po"_qs, Pop3},
        {u"pop.example.jp:"_qs, Pop3},
        {u"smtp://smtp.example.jp"_qs, Pop3},
        {u"pop3s://pop.example.jp"_qs, Smtp},
        {u"smtp+plain://smtp.example.jp"_qs, Pop3},
        {u"pop3s+plain://pop.example.jp"_qs, Pop3},
        {u"http://pop.example.jp"_qs, Pop3},
        {u"pop3://"_qs, Pop3},
        {u"pop.example.jp/inbox"_qs, Pop3},
        {u"user@pop.example.jp"_qs, Pop3},
        {u"pop example.jp"_qs, Pop3},
        {u"::1:110"_qs, Pop3},
        {u"[::1"_qs, Pop3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        QString error;
        EXPECT_FALSE(parseServerAddress(c.text, c.protocol, &error));
        EXPECT_TRUE(error.contains(u"サーバー"_qs)) << error.toStdString();
    }
}

} // namespace
} // namespace orv
