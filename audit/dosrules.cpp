#include "audit/dosrules.h"

#include "audit/linewords.h"
#include "drives/ansitext.h"
#include "drives/dospath.h"

#include <QScopeGuard>

#include <algorithm>
#include <cstring>
#include <iterator>

using namespace linewords;

namespace {

// Where a file name ends on a driver line, and where a command's first word
// ends (COMMAND.COM takes "=", "," and ";" for blanks).
constexpr Stops kNameStops("/,;");
constexpr Stops kCommandStops("=,;/<>|");
constexpr Stops kCommandBlanks("=,;");
// What may follow an internal command's name directly: "CD\", "ECHO.".
constexpr Stops kAfterInternal(".\\\"[]+");

// Skips the options that LOADHIGH and the *HIGH directives take before the
// name: "/L:1,2000", "/S" and the older "SIZE=hhhh".
QByteArrayView skipLoadHighOptions(QByteArrayView text)
{
    while (true) {
        text = trimLeft(text);
        const QByteArrayView letters = leadingLetters(text);
        const bool size = equalsUpper(letters, "SIZE") && text.sliced(letters.size()).startsWith('=');
        if (!text.startsWith('/') && !size)
            return text;
        text = text.sliced(firstWord(text, kBlanks).size());
    }
}

// The commands COMMAND.COM runs itself (MS-DOS 7).
bool isInternalCommand(QByteArrayView word)
{
    static constexpr QByteArrayView kInternal[] = {
        "BREAK", "CALL", "CD", "CHCP", "CHDIR", "CLS", "COPY", "CTTY", "DATE", "DEL", "DIR", "ECHO",
        "ERASE", "EXIT", "FOR", "GOTO", "IF", "LFNFOR", "LH", "LOADHIGH", "LOCK", "MD", "MKDIR", "PATH",
        "PAUSE", "PROMPT", "RD", "REM", "REN", "RENAME", "RMDIR", "SET", "SHIFT", "TIME", "TRUENAME",
        "TYPE", "UNLOCK", "VER", "VERIFY", "VOL",
    };
    if (word.isEmpty() || word.size() > 8)
        return false;
    char capitals[8];
    std::transform(word.begin(), word.end(), capitals, upper);
    // Length and first letter first: every line of a batch file asks.
    return std::any_of(std::begin(kInternal), std::end(kInternal), [&](QByteArrayView name) {
        return name.size() == word.size() && name.front() == capitals[0]
            && std::memcmp(name.data(), capitals, static_cast<size_t>(word.size())) == 0;
    });
}

// What follows the condition of an IF; empty when the line has none.
QByteArrayView afterCondition(QByteArrayView text)
{
    text = trimLeft(text);
    QByteArrayView word = firstWord(text, kBlanks);
    if (equalsUpper(word, "NOT")) {
        text = trimLeft(text.sliced(word.size()));
        word = firstWord(text, kBlanks);
    }
    if (equalsUpper(word, "ERRORLEVEL") || equalsUpper(word, "EXIST")) {
        text = trimLeft(text.sliced(word.size()));
        return trimLeft(text.sliced(firstWord(text, kBlanks).size()));
    }
    const qsizetype equals = text.indexOf("==");
    if (equals < 0)
        return {};
    text = trimLeft(text.sliced(equals + 2));
    return trimLeft(text.sliced(firstWord(text, kBlanks).size()));
}

// The parts of FOR %%x IN (set) DO command: the variable, the set and the
// command; the command is empty when the line is not of that form.
struct ForParts
{
    QByteArrayView variable, set, command;
};

ForParts forParts(QByteArrayView text)
{
    ForParts parts;
    text = trimLeft(text);
    parts.variable = firstWord(text, kBlanks);
    text = trimLeft(text.sliced(parts.variable.size()));
    const QByteArrayView in = firstWord(text, kBlanks);
    const qsizetype open = text.indexOf('(');
    const qsizetype close = text.indexOf(')');
    if (!parts.variable.startsWith('%') || !equalsUpper(in, "IN") || open < 0 || close < open)
        return {};
    parts.set = text.sliced(open + 1, close - open - 1);
    text = trimLeft(text.sliced(close + 1));
    const QByteArrayView word = firstWord(text, kBlanks);
    if (equalsUpper(word, "DO"))
        parts.command = trimLeft(text.sliced(word.size()));
    return parts;
}

} // namespace

QByteArrayView configSysFile(QByteArrayView line)
{
    const QByteArrayView text = trimLeft(line);
    if (text.isEmpty() || text.front() == ';' || text.front() == '[')
        return {};
    const QByteArrayView key = leadingLetters(text);
    QByteArrayView rest = text.sliced(key.size());
    if (rest.startsWith('?')) // "DEVICE?=" asks before loading; it still names the file
        rest = rest.sliced(1);
    // The *HIGH directives take their options before or after the "=":
    // "DEVICEHIGH /L:1,12048 =C:\DOS\SETVER.EXE" is how MemMaker writes them.
    const bool high = equalsUpper(key, "DEVICEHIGH") || equalsUpper(key, "INSTALLHIGH");
    if (rest.isEmpty() || !(isBlank(rest.front()) || rest.front() == '=' || (high && rest.front() == '/')))
        return {};
    if (high)
        rest = skipLoadHighOptions(rest);
    rest = trimLeft(rest);
    if (rest.startsWith('='))
        rest = rest.sliced(1);
    const QByteArrayView value = high ? skipLoadHighOptions(rest) : trimLeft(rest);
    if (high || equalsUpper(key, "DEVICE") || equalsUpper(key, "INSTALL") || equalsUpper(key, "SHELL"))
        return firstWord(value, kNameStops);
    if (equalsUpper(key, "COUNTRY")) {
        // COUNTRY=country[,[codepage][,file]]
        const qsizetype first = value.indexOf(',');
        const qsizetype second = first < 0 ? -1 : value.indexOf(',', first + 1);
        if (second < 0)
            return {};
        return firstWord(trimLeft(value.sliced(second + 1)), kNameStops);
    }
    return {};
}

BatchRun::BatchRun(QByteArrayView winDir, QByteArrayView winBootDir)
{
    m_search.append(kBootRoot);
    set("WINDIR", winDir);
    set("WINBOOTDIR", winBootDir.isEmpty() ? winDir : winBootDir);
    set("PATH", QByteArray(winDir.toByteArray() + ';' + winDir + "\\COMMAND"));
}

BatchRun::Programs BatchRun::step(QByteArrayView line)
{
    if (m_ended)
        return {};
    const qsizetype end = linewords::indexOf(line, '\x1a');
    if (end >= 0) {
        m_ended = true;
        line = line.first(end);
    }
    QByteArrayView text = trimLeft(line);
    while (text.startsWith('@'))
        text = trimLeft(text.sliced(1));
    if (text.isEmpty() || text.front() == ':') // labels, and "::" comments
        return {};
    return command(text);
}

BatchRun::Programs BatchRun::command(QByteArrayView text)
{
    while (!text.isEmpty() && kCommandBlanks.contains(text.front()))
        text = text.sliced(1);
    if (text.isEmpty())
        return {};
    Program program;
    QByteArrayView rest;
    if (text.front() == '"') {
        const qsizetype close = text.indexOf('"', 1);
        program.written = close < 0 ? text.sliced(1) : text.sliced(1, close - 1);
    } else {
        program.written = firstWord(text, kCommandStops);
        rest = text.sliced(program.written.size());
        if (program.written.size() == 2 && program.written[1] == ':') {
            setCurrentDrive(upper(program.written[0]));
            return {};
        }
        const QByteArrayView letters = leadingLetters(program.written);
        const bool internal = isInternalCommand(letters)
            && (letters.size() == program.written.size()
                || kAfterInternal.contains(program.written[letters.size()]));
        if (internal) {
            if (equalsUpper(letters, "LH") || equalsUpper(letters, "LOADHIGH"))
                return command(skipLoadHighOptions(rest));
            if (equalsUpper(letters, "CALL"))
                return command(trimLeft(rest));
            if (equalsUpper(letters, "IF")) {
                // IF [NOT] ERRORLEVEL n | EXIST file | a==b, then a command
                // that runs when the condition holds, as far as the audit knows.
                const QByteArrayView then = afterCondition(text.sliced(letters.size()));
                return then.isEmpty() ? Programs() : command(then);
            }
            if (equalsUpper(letters, "FOR"))
                return forEach(text.sliced(letters.size()));
            if (equalsUpper(letters, "CD") || equalsUpper(letters, "CHDIR")) {
                // "CD\GAMES" is one word; "CD GAMES" two.
                changeDirectory(trimmed(program.written.sliced(letters.size()).isEmpty()
                                            ? rest
                                            : text.sliced(letters.size())));
                return {};
            }
            if (equalsUpper(letters, "PATH")) {
                // "PATH" alone shows the path; "PATH ;" empties it.
                rest = trimLeft(rest);
                if (rest.startsWith('='))
                    rest = rest.sliced(1);
                rest = trimmed(rest);
                if (!rest.isEmpty())
                    set("PATH", rest);
            } else if (equalsUpper(letters, "SET")) {
                const qsizetype equals = rest.indexOf('=');
                if (equals > 0)
                    set(trimmed(rest.first(equals)), trimmed(rest.sliced(equals + 1)));
            }
            return {};
        }
    }
    if (program.written.contains('%')
        && (!expand(program.written, &program.expanded) || trimmed(program.expanded).isEmpty()))
        return {};
    if (trimmed(program.name()).isEmpty())
        return {};
    Programs programs;
    programs.append(std::move(program));
    return programs;
}

BatchRun::Programs BatchRun::forEach(QByteArrayView text)
{
    const ForParts parts = forParts(text);
    if (parts.command.isEmpty() || m_inFor)
        return {}; // "FOR cannot be nested"
    m_inFor = true;
    const auto leave = qScopeGuard([this] { m_inFor = false; });
    if (!parts.command.contains(parts.variable))
        return command(parts.command); // the same command for every element
    // One command per element, the element put in for the variable. A
    // wildcard stands for files the audit cannot know.
    // DOS reads a line of at most 127 characters, so a real set is short; a
    // stranger's line of a million elements is not run a million times.
    constexpr int kMostElements = 128;
    Programs programs;
    QByteArrayView set = parts.set;
    for (int elements = 0; elements < kMostElements; ++elements) {
        set = trimLeft(set);
        while (!set.isEmpty() && kCommandBlanks.contains(set.front()))
            set = trimLeft(set.sliced(1));
        if (set.isEmpty())
            break;
        const QByteArrayView element = firstWord(set, kCommandBlanks);
        set = set.sliced(element.size());
        if (element.contains('*') || element.contains('?'))
            continue;
        QByteArray each = parts.command.toByteArray();
        each.replace(parts.variable, element);
        for (Program &program : command(each)) {
            program.text = each; // shares the bytes `written` views
            programs.append(std::move(program));
        }
    }
    return programs;
}

void BatchRun::setCurrentDrive(char letter)
{
    if (letter < 'A' || letter > 'Z')
        return;
    m_drive = letter;
    m_search[0] = m_directories.value(letter, QByteArray(1, letter) + ":\\");
    ++m_pathChanges;
}

void BatchRun::changeDirectory(QByteArrayView argument)
{
    argument = firstWord(argument, kBlanks);
    if (argument.isEmpty())
        return; // "CD" alone shows the current directory
    char letter = m_drive;
    if (argument.size() >= 2 && argument[1] == ':') {
        letter = upper(argument[0]);
        argument = argument.sliced(2);
        if (letter < 'A' || letter > 'Z')
            return;
    }
    if (argument.isEmpty())
        return; // "CD D:" shows D:'s current directory
    const QByteArray current = m_directories.value(letter, QByteArray(1, letter) + ":\\");
    const QByteArray written = argument.startsWith('\\') || argument.startsWith('/')
                                   ? QByteArray(1, letter) + ':' + argument.toByteArray()
                                   : current + '\\' + argument.toByteArray();
    const QByteArray directory = ansi::upper(ansi::encode(DosPath::parse(written).display()));
    if (m_directoryExists && !m_directoryExists(directory))
        return;
    m_directories.insert(letter, directory);
    setCurrentDrive(m_drive);
}

void BatchRun::set(QByteArrayView name, QByteArrayView value)
{
    const QByteArray key = ansi::upper(name.toByteArray());
    QByteArray expanded;
    expand(value, &expanded); // what nobody set is empty, as in DOS
    // "Out of environment space": DOS keeps the old value when the new one
    // does not fit in the environment's 32 KiB.
    const auto old = m_variables.constFind(key);
    const qsizetype oldBytes = old == m_variables.cend() ? 0 : key.size() + old->size() + 2;
    const qsizetype newBytes = expanded.isEmpty() ? 0 : key.size() + expanded.size() + 2;
    if (m_environmentBytes - oldBytes + newBytes > kEnvironmentBytes)
        return;
    m_environmentBytes += newBytes - oldBytes;
    if (key == "PATH") {
        if (expanded == ";")
            expanded.clear();
        setPath(expanded);
    }
    if (expanded.isEmpty())
        m_variables.remove(key);
    else
        m_variables.insert(key, expanded);
}

void BatchRun::setPath(QByteArrayView value)
{
    ++m_pathChanges;
    m_search.resize(1);
    qsizetype start = 0;
    for (qsizetype i = 0; i <= value.size(); ++i) {
        if (i < value.size() && value[i] != ';')
            continue;
        const QByteArrayView directory = trimmed(value.sliced(start, i - start));
        if (!directory.isEmpty())
            m_search.append(ansi::upper(directory.toByteArray()));
        start = i + 1;
    }
}

bool BatchRun::expand(QByteArrayView text, QByteArray *result) const
{
    result->clear();
    bool known = true;
    qsizetype i = 0;
    // No expansion is longer than the environment that could hold it.
    while (i < text.size() && result->size() <= kEnvironmentBytes) {
        const char c = text[i];
        if (c != '%') {
            result->append(c);
            ++i;
        } else if (i + 1 < text.size() && text[i + 1] == '%') {
            result->append('%');
            i += 2;
        } else if (i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9') {
            known = false; // a parameter of the batch file
            i += 2;
        } else {
            const qsizetype close = text.indexOf('%', i + 1);
            if (close < 0) {
                result->append(text.sliced(i));
                break;
            }
            const auto value = m_variables.constFind(ansi::upper(text.sliced(i + 1, close - i - 1).toByteArray()));
            if (value == m_variables.cend())
                known = false;
            else
                result->append(*value);
            i = close + 1;
        }
    }
    return known;
}
