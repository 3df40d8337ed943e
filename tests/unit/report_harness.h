// A model loaded from configuration text for the report tests, with the
// options and captured output streams and system log.
#pragma once

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "config_text.h"
#include "reports/report_context.h"

namespace lbsnap::testing {

struct LogLine {
    int priority;
    std::string text;
    bool operator==(const LogLine&) const = default;
};

struct ReportHarness {
    explicit ReportHarness(std::string_view conf = "") : m(load_ok(conf)) {}

    std::unique_ptr<Model> m;
    Options opt;
    Capture out, err;
    std::vector<LogLine> log;

    Ctx ctx() {
        Ctx c{*m, opt, out.file(), err.file()};
        c.log = [this](int p, const std::string& t) { log.push_back({p, t}); };
        return c;
    }
};

// A resolver stand-in: answers each key from a table after the key's own
// delay (unknown keys: no answer at once) and records what it was asked.
// Lookups call it from several threads at once.
class SlowAnswers {
public:
    struct Answer {
        std::optional<std::string> text;
        int delay_ms;
    };
    explicit SlowAnswers(std::map<std::string, Answer> table) : table_(std::move(table)) {}

    std::optional<std::string> operator()(const std::string& key) {
        {
            std::lock_guard<std::mutex> lock(mu_);
            asked_.push_back(key);
        }
        const auto it = table_.find(key);
        if (it == table_.end()) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(it->second.delay_ms));
        return it->second.text;
    }

    // The keys asked since the last call, sorted.
    std::vector<std::string> take_asked() {
        std::lock_guard<std::mutex> lock(mu_);
        std::vector<std::string> v = std::move(asked_);
        asked_.clear();
        std::sort(v.begin(), v.end());
        return v;
    }

private:
    const std::map<std::string, Answer> table_;
    std::mutex mu_;
    std::vector<std::string> asked_;
};

}  // namespace lbsnap::testing
