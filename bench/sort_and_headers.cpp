// Two steps of the check: reading each message's header, and ordering the list for the page.
// FillFromHeaders on a 40-line header, all fields against the check's three, per 10000
// messages; then SortMailList on 10000 and 100000 entries of four accounts, shuffled, beside the
// exchange sort over all pairs it must equal (that one on 10000 only).
// Run: build/bench/bench_sort_and_headers [rounds] (default 5)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/timing.h"
#include "core/mail_list.h"
#include "net/mail/mail_message.h"

using kavrel::bench::MillisecondsOf;

namespace {

using namespace kavrel;

TMailList ShuffledList(int entries) {
    TMailList list;
    for (int i = 0; i < entries; ++i) {
        PW_MAIL& m = AppendMail(list);
        m.AccountIndex = 1 + i % 4;
        m.UID = "000" + std::to_string(i) + "4a7c1e2f9b30d8e6";
        m.FoundAt = "10:15a";
        m.SentAt = "12/1/2026 9:03a";
        m.MailBox = "pop" + std::to_string(m.AccountIndex) + ".example.org->someone";
        m.FromAddress = "sender" + std::to_string(i) + "@example.com";
        m.Subject = "Weekly report number " + std::to_string(i) + " with the notes of the team";
    }
    std::shuffle(list.begin(), list.end(), std::mt19937(20261211));
    return list;
}

void ExchangeSort(TMailList& list) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        for (std::size_t j = 0; j < list.size(); ++j) {
            if (list[i].AccountIndex < list[j].AccountIndex) std::swap(list[i], list[j]);
        }
    }
}

// The mean time of sort over rounds fresh copies of input; the copies are not timed.
template <typename Sort>
double SortMilliseconds(int rounds, const TMailList& input, Sort sort, TMailList& last) {
    double total = 0;
    for (int r = 0; r < rounds; ++r) {
        last = input;
        total += MillisecondsOf(1, [&] { sort(last); });
    }
    return total / rounds;
}

const std::vector<std::string>& TypicalHeader() {
    static const std::vector<std::string> lines = {
        "Return-Path: <bounce-4711@lists.example.org>",
        "Delivered-To: ann@example.net",
        "Received: from mx2.example.net (mx2.example.net [192.0.2.12])",
        "\tby mail.example.net (Postfix) with ESMTPS id 4Tq9sK1x2Lz3",
        "\tfor <ann@example.net>; Tue, 26 Mar 2024 14:00:03 +0100 (CET)",
        "Received: from lists.example.org (lists.example.org [198.51.100.7])",
        "\tby mx2.example.net (Postfix) with ESMTP id 9C1A2B3C4D",
        "\tfor <ann@example.net>; Tue, 26 Mar 2024 14:00:02 +0100 (CET)",
        "Received: by lists.example.org (Postfix, from userid 1001) id 77E1F2;",
        "\tTue, 26 Mar 2024 13:00:01 +0000 (UTC)",
        "Authentication-Results: mail.example.net; dkim=pass header.d=example.org;",
        "\tspf=pass smtp.mailfrom=lists.example.org; dmarc=pass header.from=example.org",
        "DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed; d=example.org; s=mail;",
        "\tt=1711458001; bh=47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=;",
        "\th=From:To:Subject:Date:Message-ID:Content-Type;",
        "\tb=dGhpcyBpcyBub3QgYSByZWFsIHNpZ25hdHVyZSBidXQgaXQgaXMgbG9uZyBlbm91Z2g=",
        "From: =?UTF-8?Q?J=C3=B6rg_M=C3=BCller?= <joerg@example.org>",
        "To: Ann Lee <ann@example.net>, \"Team, Dev\" <dev@example.net>",
        "Cc: bob@example.net",
        "Subject: =?UTF-8?Q?Wochenbericht_=C3=BCber_das_Projekt?=",
        " und die Planung",
        "Date: Tue, 26 Mar 2024 14:00:00 +0100",
        "Message-ID: <20240326130000.4711@lists.example.org>",
        "In-Reply-To: <20240325120000.4710@lists.example.org>",
        "References: <20240325120000.4710@lists.example.org>",
        "MIME-Version: 1.0",
        "Content-Type: text/plain; charset=\"utf-8\"; format=flowed",
        "Content-Transfer-Encoding: quoted-printable",
        "List-Id: Project reports <reports.lists.example.org>",
        "List-Unsubscribe: <mailto:reports-leave@lists.example.org>,",
        " <https://lists.example.org/unsubscribe/reports>",
        "List-Post: <mailto:reports@lists.example.org>",
        "Precedence: list",
        "Reply-To: reports@lists.example.org",
        "Sender: reports-bounces@lists.example.org",
        "X-Mailer: Mailer 4.2",
        "X-Priority: 3 (Normal)",
        "X-Spam-Status: No, score=-2.1 required=5.0 tests=DKIM_SIGNED,DKIM_VALID",
        "X-Spam-Level: ",
        "X-Original-To: ann@example.net",
    };
    return lines;
}

double HeaderMilliseconds(int rounds, TMailMessage::TFields fields) {
    constexpr int kMessages = 10000;
    return MillisecondsOf(rounds, [fields] {
        for (int i = 0; i < kMessages; ++i) {
            TMailMessage msg;
            for (const std::string& line : TypicalHeader()) msg.HeaderLines.Add(line);
            msg.FillFromHeaders(fields);
        }
    });
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    // Headers first: the large lists freed after the sort leave the heap in a state that
    // slows the many small allocations of header reading.
    const double all = HeaderMilliseconds(rounds, TMailMessage::TFields::All);
    const double three = HeaderMilliseconds(rounds, TMailMessage::TFields::FromAddressSubjectDate);
    std::printf(
        "FillFromHeaders, %zu-line header, per 10000 messages: All %.1f ms, "
        "FromAddressSubjectDate %.1f ms\n",
        TypicalHeader().size(), all, three);

    const TMailList small = ShuffledList(10000);
    TMailList byLoop;
    TMailList bySort;
    const double loop = SortMilliseconds(1, small, ExchangeSort, byLoop);
    const auto sort = [](TMailList& list) { SortMailList(list); };
    const double fast = SortMilliseconds(rounds, small, sort, bySort);
    const bool same = std::equal(byLoop.begin(), byLoop.end(), bySort.begin(), bySort.end(),
                                 [](const PW_MAIL& a, const PW_MAIL& b) { return a.UID == b.UID; });
    std::printf(
        "SortMailList, 10000 entries: %.3f ms (exchange sort over all pairs %.1f ms, %s "
        "order)\n",
        fast, loop, same ? "same" : "DIFFERENT");
    const double sortedAgain = MillisecondsOf(rounds, [&] { SortMailList(bySort); });
    std::printf("SortMailList, 10000 entries sorted again: %.3f ms\n", sortedAgain);
    const double large = SortMilliseconds(rounds, ShuffledList(100000), sort, bySort);
    std::printf("SortMailList, 100000 entries: %.3f ms\n", large);
    return same ? 0 : 1;
}
