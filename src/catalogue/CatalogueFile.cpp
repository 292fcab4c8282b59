#include "catalogue/CatalogueFile.h"
#include "utils/TextUtils.h"

#include <QFile>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QThreadPool>
#include <algorithm>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace
{

// Small batches and chunks keep the memory a load needs beyond the tree flat.
constexpr size_t BatchLines = 1024;
constexpr size_t MaxQueuedBatches = 6;
// Threads that look up paths while the reader parses: stat calls wait on the
// kernel's path walk, so two keep a second core busy beside the parser.
constexpr int ProbingThreads = 2;
constexpr qint64 ReadChunk = 256 << 10;

// Windows-1252 differs from Latin-1 only in 0x80..0x9F.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Position of the first CR, LF or 0x1A in Text[From, Size), or Size. Eight
// bytes at a time: a byte equal to one of the three turns to zero in one of
// the XORed words, which the classic has-zero-byte test finds.
qsizetype findLineEnd(const char* text, qsizetype from, qsizetype size)
{
    constexpr quint64 ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    auto hasZero = [](quint64 v) { return ((v - ones) & ~v & highs) != 0; };
    qsizetype i = from;
    for (; size - i >= 8; i += 8) {
        quint64 word;
        std::memcpy(&word, text + i, 8);
        if (hasZero(word ^ (ones * '\r')) || hasZero(word ^ (ones * '\n')) ||
            hasZero(word ^ (ones * 0x1a)))
            break;
    }
    while (i < size && text[i] != '\r' && text[i] != '\n' && text[i] != '\x1a')
        ++i;
    return i;
}

} // namespace

bool openRegularFile(const QString& path, QFile& file, QString* error)
{
    // Non-blocking, so opening a FIFO does not wait for a writer; the type is
    // checked on the open descriptor, so the file cannot be swapped between.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        if (error)
            *error = QStringLiteral("It is not a regular file.");
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

FileStamp FileStamp::of(const QString& path)
{
    FileStamp stamp;
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return stamp;
    stamp.exists = true;
    stamp.regular = S_ISREG(st.st_mode);
    stamp.size = st.st_size;
    stamp.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.device = quint64(st.st_dev);
    stamp.inode = quint64(st.st_ino);
    return stamp;
}

bool isValidUtf8(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        // Most text is ASCII: skip it eight bytes at a time.
        while (end - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, 8);
            if (word & 0x8080808080808080ull)
                break;
            p += 8;
        }
        if (p == end)
            break;
        const unsigned c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra;
        unsigned min;
        if ((c & 0xE0) == 0xC0) {
            extra = 1;
            min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            min = 0x10000;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        unsigned cp = c & (0x3F >> extra);
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}

QString decodeField(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return {};
    if (!isValidUtf8(bytes))
        return decodeWindows1252(bytes);
    // QString::fromUtf8 takes a leading U+FEFF for a byte-order mark and
    // drops it; in a field it is text, however many there are.
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        QStringDecoder keepingMarks(QStringConverter::Utf8,
                                    QStringConverter::Flag::ConvertInitialBom);
        return keepingMarks.decode(bytes);
    }
    return QString::fromUtf8(bytes);
}

namespace
{

QChar* putWindows1252(QChar* d, QByteArrayView bytes)
{
    for (const char b : bytes) {
        const auto c = static_cast<unsigned char>(b);
        *d++ = QChar((c >= 0x80 && c <= 0x9F) ? Cp1252High[c - 0x80] : char16_t(c));
    }
    return d;
}

} // namespace

void decodeFields(std::array<QByteArrayView, 4> bytes, std::array<QString*, 4> out)
{
    // Every unit of UTF-16 takes at least one byte of UTF-8: the bytes'
    // count, with a NUL after each text, is room enough.
    qsizetype room = 0;
    for (const QByteArrayView b : bytes)
        room += b.isEmpty() ? 0 : b.size() + 1;
    if (room == 0) {
        for (QString* s : out)
            *s = QString();
        return;
    }
    QString block(room, Qt::Uninitialized);
    QChar* d = block.data();
    // A leading U+FEFF is text here, not a byte-order mark to drop.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                    QStringConverter::Flag::Stateless);
    std::array<qsizetype, 4> at{}, size{};
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i].isEmpty())
            continue;
        QChar* const start = d;
        d = isValidUtf8(bytes[i]) ? utf8.appendToBuffer(d, bytes[i]) : putWindows1252(d, bytes[i]);
        at[i] = start - block.constData();
        size[i] = d - start;
        // Each text ends in a NUL of its own, as QString::utf16() expects.
        *d++ = QChar(u'\0');
    }
    // Text beyond Latin takes fewer units than bytes (a third for most
    // of Asia's scripts): such a line keeps a block of its own size.
    const qsizetype used = d - block.constData();
    if (used < room - room / 4)
        block = QString(block.constData(), used);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i].isEmpty()) {
            *out[i] = QString();
            continue;
        }
        // Each text shares the block.
        QString::DataPointer part = block.data_ptr();
        part.ptr = block.data_ptr().data() + at[i];
        part.size = size[i];
        *out[i] = QString(std::move(part));
    }
}

QString decodeWindows1252(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    char16_t* d = reinterpret_cast<char16_t*>(out.data());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        d[i] = (c >= 0x80 && c <= 0x9F) ? Cp1252High[c - 0x80] : char16_t(c);
    }
    return out;
}

namespace
{

// True for a character that would break the line.
constexpr bool breaksLine(char16_t c)
{
    return c == u'\0' || c == u'\r' || c == u'\n' || c == u'\x1a';
}

// One character of one or two bytes (below U+0800, not breaking the line)
// without a branch: the second byte is written always and kept only when it
// belongs to the character (the room for three bytes a unit allows it).
inline void putShort(char*& o, char16_t c)
{
    const bool two = c >= 0x80;
    o[0] = char(two ? 0xc0 | (c >> 6) : c);
    o[1] = char(0x80 | (c & 0x3f));
    o += 1 + int(two);
}

// Writes the character at S (a surrogate pair takes the unit after it when
// there is one) and moves S and O past it. False for one that breaks the line.
inline bool putCharacter(char*& o, const char16_t*& s, const char16_t* end)
{
    const char16_t c = *s++;
    if (c < 0x800) {
        if (breaksLine(c))
            return false;
        putShort(o, c);
    } else if (!QChar::isSurrogate(c)) {
        *o++ = char(0xe0 | (c >> 12));
        *o++ = char(0x80 | ((c >> 6) & 0x3f));
        *o++ = char(0x80 | (c & 0x3f));
    } else if (QChar::isHighSurrogate(c) && s < end && QChar::isLowSurrogate(*s)) {
        const char32_t u = QChar::surrogateToUcs4(c, *s++);
        *o++ = char(0xf0 | (u >> 18));
        *o++ = char(0x80 | ((u >> 12) & 0x3f));
        *o++ = char(0x80 | ((u >> 6) & 0x3f));
        *o++ = char(0x80 | (u & 0x3f));
    } else {
        *o++ = '?';
    }
    return true;
}

// Writes Text as UTF-8 at D (room for three bytes per unit) and moves D past
// it, as QString::toUtf8 encodes: an unpaired surrogate becomes '?'. False,
// with D where it was, when Text holds a character that would break the
// line (NUL, CR, LF, U+001A).
bool putUtf8(char*& d, QStringView text)
{
    const char16_t* const begin = text.utf16();
    const char16_t* s = begin;
    const char16_t* const end = s + text.size();
    char* o = d;
#if defined(__SSE2__)
    // Eight units at a time. A mispredicted branch costs more than the
    // arithmetic: a block of printable ASCII (nearly all of a catalogue) is
    // one test, and a block with Latin letters, the usual other, goes
    // without a branch per character.
    const __m128i low = _mm_set1_epi16(0x1f), high = _mm_set1_epi16(0x80);
    const __m128i beyondTwoBytes = _mm_set1_epi16(short(0xf800)), zero = _mm_setzero_si128();
    const __m128i cr = _mm_set1_epi16(0x0d), lf = _mm_set1_epi16(0x0a), eof = _mm_set1_epi16(0x1a);
    const auto load = [](const char16_t* at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    };
    const auto printable = [&](__m128i v) {
        const __m128i ok = _mm_and_si128(_mm_cmpgt_epi16(v, low), _mm_cmplt_epi16(v, high));
        return _mm_movemask_epi8(ok) == 0xffff;
    };
    const auto storeAscii = [](char* at, __m128i v) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(at), _mm_packus_epi16(v, v));
    };
    while (end - s >= 8) {
        const __m128i v = load(s);
        if (printable(v)) {
            storeAscii(o, v);
            s += 8;
            o += 8;
            continue;
        }
        const __m128i bad =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, zero), _mm_cmpeq_epi16(v, cr)),
                         _mm_or_si128(_mm_cmpeq_epi16(v, lf), _mm_cmpeq_epi16(v, eof)));
        const __m128i wide = _mm_cmpeq_epi16(_mm_and_si128(v, beyondTwoBytes), zero);
        if (_mm_movemask_epi8(_mm_andnot_si128(bad, wide)) == 0xffff) {
            for (int i = 0; i < 8; ++i)
                putShort(o, s[i]);
            s += 8;
            continue;
        }
        // Three- and four-byte characters, lone surrogates, a line break:
        // one at a time up to the next block (a pair may reach into it).
        for (const char16_t* blockEnd = s + 8; s < blockEnd;)
            if (!putCharacter(o, s, end))
                return false;
    }
    // The rest of a text of at least eight units, when its last eight are
    // printable ASCII: those eight written over the bytes the units already
    // written among them made (one byte each, so they are the last ones).
    if (s != end && end - begin >= 8) {
        const __m128i v = load(end - 8);
        if (printable(v)) {
            const qsizetype rest = end - s;
            storeAscii(o - (8 - rest), v);
            o += rest;
            s = end;
        }
    }
#endif
    while (s < end) {
        const char16_t c = *s;
        if (c >= 0x20 && c < 0x800) {
            putShort(o, c);
            ++s;
        } else if (!putCharacter(o, s, end)) {
            return false;
        }
    }
    d = o;
    return true;
}

// One field: straight from the text, or, when it holds a character that
// would break the line, from its one-line form (never longer).
inline void putField(char*& d, QStringView text)
{
    if (Q_UNLIKELY(!putUtf8(d, text))) {
        const bool clean = putUtf8(d, TextUtils::singleLine(text.toString()));
        Q_ASSERT(clean);
        Q_UNUSED(clean);
    }
}

} // namespace

char* putCatalogueLine(char* d, QStringView name, int level, QStringView fullName,
                       QStringView comments, QChar kindCode, QStringView additional)
{
    putField(d, name);
    *d++ = '\0';
    d = std::to_chars(d, d + 16, level).ptr;
    *d++ = '\0';
    putField(d, fullName);
    *d++ = '\0';
    putField(d, comments);
    *d++ = '\0';
    *d++ = char(kindCode.unicode() < 0x80 ? kindCode.unicode() : u'0');
    *d++ = '\0';
    putField(d, additional);
    *d++ = '\r';
    *d++ = '\n';
    return d;
}

void appendCatalogueLine(QByteArray& out, QStringView name, int level, QStringView fullName,
                         QStringView comments, QChar kindCode, QStringView additional)
{
    // Room for the worst case, written in place and cut to what was used: no
    // allocation unless the buffer must grow.
    const qsizetype start = out.size();
    out.resize(start + catalogueLineRoom(name.size() + fullName.size() + comments.size() +
                                         additional.size()));
    char* const base = out.data();
    out.resize(
        putCatalogueLine(base + start, name, level, fullName, comments, kindCode, additional) -
        base);
}

void CatalogueReader::cancel()
{
    m_cancel = true;
    std::lock_guard guard(m_lock);
    m_space.notify_all();
}

void CatalogueReader::probe(const std::shared_ptr<Probing>& slot)
{
    try {
        for (CatalogueLineFields& line : slot->lines)
            if (line.kind != NodeKind::Category && line.kind != NodeKind::Url)
                line.facts = FileUtils::probePath(line.fullName);
    } catch (...) {
        std::lock_guard guard(m_lock);
        if (!m_probeFailure)
            m_probeFailure = std::current_exception();
        m_cancel = true;
        m_space.notify_all();
    }
    bool passed;
    {
        std::lock_guard guard(m_lock);
        slot->done = true;
        passed = passProbed();
    }
    if (passed) {
        m_ready.notify_all();
        if (onBatchReady)
            onBatchReady();
    }
}

bool CatalogueReader::passProbed()
{
    bool passed = false;
    while (!m_probing.empty() && m_probing.front()->done) {
        m_queue.push_back(std::move(m_probing.front()->lines));
        m_probing.pop_front();
        passed = true;
    }
    return passed;
}

void CatalogueReader::push(std::vector<CatalogueLineFields>&& batch)
{
    std::shared_ptr<Probing> slot;
    {
        std::unique_lock guard(m_lock);
        // Keep memory flat when the consumer falls behind.
        m_space.wait(guard, [this] {
            return m_queue.size() + m_probing.size() < MaxQueuedBatches || m_cancel;
        });
        if (!probePaths || !m_probers) {
            m_queue.push_back(std::move(batch));
        } else {
            slot = std::make_shared<Probing>();
            slot->lines = std::move(batch);
            m_probing.push_back(slot);
        }
    }
    if (slot) {
        // The lookups, most of a load's time, run beside the parsing of the
        // next lines and beside each other.
        m_probers->start([this, slot] { probe(slot); });
        return;
    }
    m_ready.notify_all();
    if (onBatchReady)
        onBatchReady();
}

bool CatalogueReader::takeBatches(std::vector<std::vector<CatalogueLineFields>>& out)
{
    std::lock_guard guard(m_lock);
    if (m_queue.empty())
        return false;
    while (!m_queue.empty()) {
        out.push_back(std::move(m_queue.front()));
        m_queue.pop_front();
    }
    m_space.notify_all();
    return true;
}

bool CatalogueReader::waitForBatches(std::vector<std::vector<CatalogueLineFields>>& out)
{
    {
        std::unique_lock guard(m_lock);
        m_ready.wait(guard, [this] { return !m_queue.empty() || m_finished.load(); });
    }
    return takeBatches(out);
}

bool CatalogueReader::parseLine(QByteArrayView raw, CatalogueLineFields& line)
{
    ++m_lines;
    // Six fields; a missing separator repeats the rest of the line in the
    // remaining fields, as taking fields one by one does.
    QByteArrayView fields[6];
    QByteArrayView rest = raw;
    for (auto& f : fields) {
        const qsizetype at = rest.indexOf('\0');
        if (at < 0) {
            f = rest;
        } else {
            f = rest.first(at);
            rest = rest.sliced(at + 1);
        }
    }
    // Each field on its own: one stray byte must not re-decode its neighbours.
    auto text = [](QByteArrayView b) { return decodeField(b); };
    bool ok = false;
    const int level = fields[1].toInt(&ok);
    if (!ok) {
        m_error = QStringLiteral("'%1' is not a valid integer value")
                      .arg(TextUtils::excerpt(text(fields[1])));
        m_malformed = true;
        return false;
    }
    if (level < 0 || level > MaxCatalogueDepth || (m_prevDepth >= 0 && level > m_prevDepth + 1)) {
        m_error = QStringLiteral("Invalid level (%1) for item \"%2\"")
                      .arg(level)
                      .arg(TextUtils::excerpt(text(fields[0])));
        if (level > MaxCatalogueDepth)
            m_error += QStringLiteral("\nThe catalogue holds at most %1 levels of nesting.")
                           .arg(MaxCatalogueDepth);
        m_malformed = true;
        return false;
    }
    // The first line is a root whatever its level says; afterwards a level
    // equal, one deeper or shallower places the node at exactly that depth.
    line.depth = m_prevDepth < 0 ? 0 : level;
    m_prevDepth = line.depth;
    decodeFields({fields[0], fields[2], fields[3], fields[5]},
                 {&line.name, &line.fullName, &line.comments, &line.additional});
    // The code is compared as stored: only exactly one digit names a kind.
    const QByteArrayView code = fields[4];
    line.kind = code.size() == 1 && code[0] >= '1' && code[0] <= '4'
                    ? static_cast<NodeKind>(code[0] - '0')
                    : NodeKind::Doc;
    return true;
}

void CatalogueReader::run()
{
    // Whatever happens here, the consumer must hear that the reading ended,
    // or it would wait for ever.
    try {
        read();
    } catch (const std::bad_alloc&) {
        m_error = QStringLiteral("Not enough memory to read file \"%1\".").arg(m_path);
    } catch (const std::exception& e) {
        m_error = QStringLiteral("Cannot read file \"%1\". %2")
                      .arg(m_path, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        m_error = QStringLiteral("Cannot read file \"%1\".").arg(m_path);
    }
    {
        std::lock_guard guard(m_lock);
        m_finished = true;
    }
    m_ready.notify_all();
    if (onBatchReady)
        onBatchReady();
}

void CatalogueReader::read()
{
    // Every batch's lookups end before the reading is reported over, and a
    // failure of one of them is the reading's.
    QThreadPool probers;
    probers.setMaxThreadCount(ProbingThreads);
    m_probers = &probers;
    std::exception_ptr failure;
    try {
        readLines();
    } catch (...) {
        failure = std::current_exception();
    }
    probers.waitForDone();
    m_probers = nullptr;
    if (!failure) {
        std::lock_guard guard(m_lock);
        failure = std::exchange(m_probeFailure, nullptr);
    }
    if (failure)
        std::rethrow_exception(failure);
}

void CatalogueReader::readLines()
{
    QFile file;
    QString why;
    if (!openRegularFile(m_path, file, &why)) {
        m_error = QStringLiteral("Cannot open file \"%1\". %2").arg(m_path, why);
        return;
    }
    const qint64 size = file.size();
    qint64 lineBytes = 0;
    int lastProgress = -1;
    std::vector<CatalogueLineFields> batch;
    batch.reserve(BatchLines);

    // buf holds unread bytes from pos on; the first `scanned` of them are
    // known to hold no line end, so a long line is scanned and moved only
    // once however many chunks it spans.
    QByteArray buf;
    qsizetype pos = 0, scanned = 0;
    bool eof = false, skipLF = false;

    auto take = [&](QByteArrayView raw) {
        batch.emplace_back();
        if (!parseLine(raw, batch.back())) {
            batch.pop_back();
            return false;
        }
        lineBytes += raw.size();
        if (size > 0 && onProgress) {
            const int progress = int(lineBytes * 1000 / size);
            if (progress != lastProgress)
                onProgress(lastProgress = progress);
        }
        if (batch.size() >= BatchLines) {
            push(std::move(batch));
            batch = {};
            batch.reserve(BatchLines);
        }
        return true;
    };

    while (!m_cancel) {
        if (skipLF && pos < buf.size()) {
            if (buf[pos] == '\n') // the LF of a CR LF that a chunk boundary split
                ++pos;
            skipLF = false;
        }
        const char* base = buf.constData() + pos;
        const qsizetype left = buf.size() - pos;
        // CR LF, LF and a lone CR all end a line; a byte 0x1A ends the file.
        const qsizetype end = findLineEnd(base, scanned, left);
        if (end == left && !eof) {
            scanned = end;
            if (left > MaxCatalogueLineBytes) {
                m_error =
                    QStringLiteral(
                        "A line of file \"%1\" is longer than %2 MB; it is no catalogue line.")
                        .arg(m_path)
                        .arg(MaxCatalogueLineBytes >> 20);
                break; // moved aside rather than copied: it may be huge
            }
            if (pos > 0) {
                buf.remove(0, pos);
                pos = 0;
            }
            // Read into the buffer's own tail: no block of its own per chunk.
            const qsizetype kept = buf.size();
            buf.resize(kept + ReadChunk);
            const qint64 got = file.read(buf.data() + kept, ReadChunk);
            buf.resize(kept + std::max<qint64>(got, 0));
            if (got < 0) {
                m_error =
                    QStringLiteral("Cannot read file \"%1\". %2").arg(m_path, file.errorString());
                break;
            }
            if (got == 0)
                eof = true;
            continue;
        }
        if (end == left) { // the end of the file: a last line without a line end
            if (left > 0)
                take(QByteArrayView(base, left));
            break;
        }
        const char terminator = base[end];
        if (terminator == '\x1a') {
            if (end > 0)
                take(QByteArrayView(base, end));
            break;
        }
        if (!take(QByteArrayView(base, end)))
            break;
        pos += end + 1;
        scanned = 0;
        if (terminator == '\r')
            skipLF = true;
    }
    if (!batch.empty())
        push(std::move(batch));
}
