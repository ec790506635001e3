// Feeds arbitrary command texts to the readers of the command language's arguments on their
// own (fuzz_dispatch drives them inside the whole chains, far more slowly): the word reader,
// the argument position, the item lists, the serial settings word, the encoder and decoder
// settings and the wall handlers' number reader. Byte 0 gives the keyword length and the
// bounds; the rest is the command. Besides crashes it checks each reader keeps its promises:
// no word or item over its bound or holding its separator, counts within what was asked.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dispatch/CtrlServerDispatch.h"
#include "dispatch/CtrlServerStageOne.h"
#include "wall/VSServerArgs.h"

namespace {

void check(bool ok) {
    if (!ok) abort();
}

bool hasWhite(const std::string& s) {
    for (char ch : s)
        if (isspace(static_cast<unsigned char>(ch))) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t keyword = data[0] % 48;
    const size_t bound = 1 + data[0] % 13;
    // A command as the stages hold it: terminated, no zero byte inside.
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    text = text.substr(0, text.find('\0'));
    std::vector<char> cmd(text.begin(), text.end());
    cmd.push_back('\0');

    dispatch::Words w;
    if (dispatch::readWords(cmd.data(), 6, bound, w)) {
        check(w.words.size() <= 6);
        for (const std::string& word : w.words)
            check(!word.empty() && word.size() <= bound && !hasWhite(word));
    }
    check(w.end == nullptr || (w.end >= cmd.data() && w.end <= cmd.data() + text.size()));

    char* arg = dispatch::argumentOf(cmd.data(), keyword);
    check(arg >= cmd.data() && arg <= cmd.data() + text.size());

    std::vector<std::string> items;
    if (dispatch::splitItems(cmd.data(), ',', 5, bound, items)) {
        check(items.size() <= 5);
        for (const std::string& item : items)
            check(item.size() <= bound && item.find(',') == std::string::npos);
    }

    dispatch::SerialSettings serial;
    if (dispatch::readSerialSettings(text, serial)) check(serial.parity >= 0 && serial.parity <= 2);

    std::vector<std::string> fields;
    dispatch::Words five;
    dispatch::readWords(cmd.data(), 5, 63, five);
    fields = five.words;
    fields.resize(5);
    dispatch::TxSettings tx;
    dispatch::readTxSettings(fields, tx);
    dispatch::RxSettings rx;
    dispatch::readRxSettings(fields, rx);

    std::vector<int> numbers;
    std::vector<std::string> tokens;
    if (vsReadNumbers(cmd.data(), keyword, bound, 5, numbers, &tokens)) {
        check(numbers.size() == 5);
        for (const std::string& t : tokens) check(t.size() <= bound);
    }
    // The readers work on copies: the command is as it came.
    check(std::string(cmd.data()) == text);
    return 0;
}
