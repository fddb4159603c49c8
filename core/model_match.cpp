#include "core/model_match.h"

#include <cctype>
#include <cstring>
#include <string>

#include "base/model_table.h"

namespace {

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string trimmed(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t");
    size_t end = text.find_last_not_of(" \t");
    return begin == std::string::npos ? "" : text.substr(begin, end - begin + 1);
}

// part stands in text as whole words ("ql-7" in "quillon ql-7", not in "ql-7t").
bool holdsWords(const std::string& text, const std::string& part) {
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        const size_t end = at + part.size();
        if ((at == 0 || text[at - 1] == ' ') && (end == text.size() || text[end] == ' ')) return true;
    }
    return false;
}

bool fits(const std::string& model, const std::string& product) {
    if (model.empty() || product.empty()) return false;
    return holdsWords(model, product) || holdsWords(product, model);
}

}  // namespace

bool modelFitsProduct(const char* modelName, const char* productName) {
    const std::string model = lower(modelName), product = lower(trimmed(productName));
    if (product.empty() || model == lower(kUnknownModelName)) return false;
    // "ORB-A010/A020": "A020" stands for "ORB-A020".
    std::string first;
    size_t start = 0;
    for (;;) {
        size_t slash = model.find('/', start);
        std::string name = trimmed(model.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
        if (first.empty()) {
            first = name;
        } else if (name.size() < first.size()) {
            name = first.substr(0, first.size() - name.size()) + name;
        }
        if (fits(name, product)) return true;
        if (slash == std::string::npos) return false;
        start = slash + 1;
    }
}
