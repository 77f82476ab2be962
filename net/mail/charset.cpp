#include "net/mail/charset.h"

#include <cerrno>

#include "base/strings.h"

namespace kavrel {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
constexpr std::string_view kIso2022Jp = "ISO-2022-JP";

struct TLabels {
    std::string_view encoding;  // the decoder's name; "" for the refused ones
    std::string_view labels;    // lower case, separated by blanks
};

// The WHATWG label table. The decoders chosen are the supersets the standard's own
// encodings are: its Shift_JIS is Windows' CP932, its EUC-KR is CP949 (so ks_c_5601-1987
// reads Windows' Korean), its GBK decodes like GB18030 (so gb2312 mail holding GBK
// characters reads), iso-8859-1 and us-ascii are windows-1252.
constexpr TLabels kTable[] = {
    {"UTF-8", "unicode-1-1-utf-8 unicode11utf8 unicode20utf8 utf-8 utf8 x-unicode20utf8"},
    {"IBM866", "866 cp866 csibm866 ibm866"},
    {"ISO-8859-2",
     "csisolatin2 iso-8859-2 iso-ir-101 iso8859-2 iso88592 iso_8859-2 iso_8859-2:1987 l2 latin2"},
    {"ISO-8859-3",
     "csisolatin3 iso-8859-3 iso-ir-109 iso8859-3 iso88593 iso_8859-3 iso_8859-3:1988 l3 latin3"},
    {"ISO-8859-4",
     "csisolatin4 iso-8859-4 iso-ir-110 iso8859-4 iso88594 iso_8859-4 iso_8859-4:1988 l4 latin4"},
    {"ISO-8859-5",
     "csisolatincyrillic cyrillic iso-8859-5 iso-ir-144 iso8859-5 iso88595 iso_8859-5 "
     "iso_8859-5:1988"},
    {"ISO-8859-6",
     "arabic asmo-708 csiso88596e csiso88596i csisolatinarabic ecma-114 iso-8859-6 iso-8859-6-e "
     "iso-8859-6-i iso-ir-127 iso8859-6 iso88596 iso_8859-6 iso_8859-6:1987"},
    {"ISO-8859-7",
     "csisolatingreek ecma-118 elot_928 greek greek8 iso-8859-7 iso-ir-126 iso8859-7 iso88597 "
     "iso_8859-7 iso_8859-7:1987 sun_eu_greek"},
    // ISO-8859-8-I differs from ISO-8859-8 only in the direction of display, not in bytes.
    {"ISO-8859-8",
     "csiso88598e csisolatinhebrew hebrew iso-8859-8 iso-8859-8-e iso-ir-138 iso8859-8 iso88598 "
     "iso_8859-8 iso_8859-8:1988 visual csiso88598i iso-8859-8-i logical"},
    {"ISO-8859-10", "csisolatin6 iso-8859-10 iso-ir-157 iso8859-10 iso885910 l6 latin6"},
    {"ISO-8859-13", "iso-8859-13 iso8859-13 iso885913"},
    {"ISO-8859-14", "iso-8859-14 iso8859-14 iso885914"},
    {"ISO-8859-15", "csisolatin9 iso-8859-15 iso8859-15 iso885915 iso_8859-15 l9"},
    {"ISO-8859-16", "iso-8859-16"},
    {"KOI8-R", "cskoi8r koi koi8 koi8-r koi8_r"},
    {"KOI8-RU", "koi8-ru koi8-u"},
    {"MACINTOSH", "csmacintosh mac macintosh x-mac-roman"},
    {"CP874", "dos-874 iso-8859-11 iso8859-11 iso885911 tis-620 windows-874"},
    {"CP1250", "cp1250 windows-1250 x-cp1250"},
    {"CP1251", "cp1251 windows-1251 x-cp1251"},
    {"CP1252",
     "ansi_x3.4-1968 ascii cp1252 cp819 csisolatin1 ibm819 iso-8859-1 iso-ir-100 iso8859-1 "
     "iso88591 iso_8859-1 iso_8859-1:1987 l1 latin1 us-ascii windows-1252 x-cp1252"},
    {"CP1253", "cp1253 windows-1253 x-cp1253"},
    {"CP1254",
     "cp1254 csisolatin5 iso-8859-9 iso-ir-148 iso8859-9 iso88599 iso_8859-9 iso_8859-9:1989 l5 "
     "latin5 windows-1254 x-cp1254"},
    {"CP1255", "cp1255 windows-1255 x-cp1255"},
    {"CP1256", "cp1256 windows-1256 x-cp1256"},
    {"CP1257", "cp1257 windows-1257 x-cp1257"},
    {"CP1258", "cp1258 windows-1258 x-cp1258"},
    {"MAC-UK", "x-mac-cyrillic x-mac-ukrainian"},
    {"GB18030",
     "chinese csgb2312 csiso58gb231280 gb2312 gb_2312 gb_2312-80 gbk iso-ir-58 x-gbk gb18030"},
    {"BIG5-HKSCS", "big5 big5-hkscs cn-big5 csbig5 x-x-big5"},
    {"EUC-JP-MS", "cseucpkdfmtjapanese euc-jp x-euc-jp"},
    {kIso2022Jp, "csiso2022jp iso-2022-jp"},
    {"CP932", "csshiftjis ms932 ms_kanji shift-jis shift_jis sjis windows-31j x-sjis"},
    {"CP949",
     "cseuckr csksc56011987 euc-kr iso-ir-149 korean ks_c_5601-1987 ks_c_5601-1989 ksc5601 "
     "ksc_5601 windows-949"},
    // The standard's "replacement" labels, UTF-16 and x-user-defined: a header is ASCII by
    // rule, and these are not ASCII-compatible, so a word in them could say anything at all.
    {"",
     "csiso2022kr hz-gb-2312 iso-2022-cn iso-2022-cn-ext iso-2022-kr replacement unicodefffe "
     "utf-16be csunicode iso-10646-ucs-2 ucs-2 unicode unicodefeff utf-16 utf-16le "
     "x-user-defined"},
    // Not WHATWG labels, but Windows mail programs write them for the encodings above.
    {"CP932", "cp932"},
    {"GB18030", "cp936 ms936 windows-936"},
    {"CP949", "cp949 ms949 uhc"},
    {"BIG5-HKSCS", "cp950"},
};

bool Listed(std::string_view labels, std::string_view label) {
    while (!labels.empty()) {
        const auto blank = labels.find(' ');
        if (labels.substr(0, blank) == label) return true;
        labels.remove_prefix(blank == std::string_view::npos ? labels.size() : blank + 1);
    }
    return false;
}

// ISO-2022-JP as Shift_JIS bytes, so that CP932 decodes it: Japanese Windows mail writes
// NEC's and IBM's extra characters (circled digits, Roman numerals) in JIS X 0208 rows that
// only CP932 fills.
std::string JisToShiftJis(std::string_view in) {
    enum class TMode { Ascii, Kanji, Katakana } mode = TMode::Ascii;
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        const auto c = static_cast<unsigned char>(in[i]);
        if (c == 0x1B) {
            if (i + 2 >= in.size()) break;  // an escape cut off at the end
            const std::string_view escape = in.substr(i + 1, 2);
            if (escape == "$B" || escape == "$@") {
                mode = TMode::Kanji;
            } else if (escape == "(I") {
                mode = TMode::Katakana;
            } else if (escape == "(B" || escape == "(J") {
                mode = TMode::Ascii;
            }
            i += 2;
            continue;
        }
        const bool jis = c >= 0x21 && c <= 0x7E;
        if (mode == TMode::Kanji && jis && i + 1 < in.size()) {
            const auto c2 = static_cast<unsigned char>(in[++i]);
            out += static_cast<char>((c + 1) / 2 + (c <= 0x5E ? 0x70 : 0xB0));
            out += static_cast<char>(c2 + ((c & 1) != 0 ? (c2 >= 0x60 ? 0x20 : 0x1F) : 0x7E));
        } else if (mode == TMode::Katakana && c >= 0x21 && c <= 0x5F) {
            out += static_cast<char>(c + 0x80);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace

TCharset ResolveCharset(std::string_view label) {
    const std::string name = LowerCase(Trim(label));
    for (const TLabels& entry : kTable) {
        if (!Listed(entry.labels, name)) continue;
        if (entry.encoding.empty()) return {TCharset::TKind::Refused, {}};
        return {TCharset::TKind::Known, entry.encoding};
    }
    return {};
}

TUtf8Converter::~TUtf8Converter() {
    for (const auto& [name, cd] : open_) {
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
}

iconv_t TUtf8Converter::Open(std::string_view encoding) {
    for (const auto& [name, cd] : open_) {
        if (name == encoding) return cd;
    }
    const iconv_t cd = iconv_open("UTF-8", std::string(encoding).c_str());
    open_.emplace_back(encoding, cd);
    return cd;
}

std::string TUtf8Converter::Convert(std::string_view bytes, std::string_view encoding) {
    std::string jis;
    if (encoding == kIso2022Jp) {
        jis = JisToShiftJis(bytes);
        bytes = jis;
        encoding = "CP932";
    }
    const iconv_t cd = Open(encoding);
    // A system without the decoder shows the bytes as they came.
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(bytes);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);

    std::string out;
    out.reserve(bytes.size() * 2 + 16);
    char buffer[1024];
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        const std::size_t r = iconv(cd, &in, &inLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (r != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
        // EILSEQ: a byte that does not convert; EINVAL: a sequence cut off at the end.
        out += kReplacement;
        if (errno == EINVAL) break;
        ++in;
        --inLeft;
    }
    char* dst = buffer;
    std::size_t dstLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    return out;
}

}  // namespace kavrel
