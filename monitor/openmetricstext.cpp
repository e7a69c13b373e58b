#include "monitor/openmetricstext.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace netvane {

namespace {

using prometheus::ClientMetric;
using prometheus::MetricType;

void appendNumber(std::string &out, double value)
{
    if (std::isnan(value)) {
        out += "NaN";
    } else if (std::isinf(value)) {
        out += value > 0 ? "+Inf" : "-Inf";
    } else {
        char text[32];
        // Counts as whole numbers (the shortest form of 3000000.0 would be "3e+06"),
        // other values in their shortest exact form.
        const bool whole = std::trunc(value) == value && std::fabs(value) < 1e15;
        const auto end = whole ? std::to_chars(text, text + sizeof text, static_cast<long long>(value)).ptr
                               : std::to_chars(text, text + sizeof text, value).ptr;
        out.append(text, end);
    }
}

void appendEscaped(std::string &out, std::string_view text)
{
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
}

// name{labels,extra="value"} value
void appendSample(std::string &out, const std::string &name, std::string_view suffix,
                  const ClientMetric &metric, double value, std::string_view extraName = {},
                  double extraValue = 0)
{
    out += name;
    out += suffix;
    if (!metric.label.empty() || !extraName.empty()) {
        out += '{';
        bool first = true;
        for (const ClientMetric::Label &label : metric.label) {
            if (!first)
                out += ',';
            first = false;
            out += label.name;
            out += "=\"";
            appendEscaped(out, label.value);
            out += '"';
        }
        if (!extraName.empty()) {
            if (!first)
                out += ',';
            out += extraName;
            out += "=\"";
            appendNumber(out, extraValue);
            out += '"';
        }
        out += '}';
    }
    out += ' ';
    appendNumber(out, value);
    out += '\n';
}

const char *typeName(MetricType type)
{
    switch (type) {
    case MetricType::Counter: return "counter";
    case MetricType::Gauge: return "gauge";
    case MetricType::Histogram: return "histogram";
    case MetricType::Summary: return "summary";
    case MetricType::Untyped: break;
    }
    return "unknown";
}

bool endsWith(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

} // namespace

std::string OpenMetricsText(const std::vector<prometheus::MetricFamily> &families)
{
    std::string out;
    for (const prometheus::MetricFamily &family : families) {
        std::string name = family.name;
        if (family.type == MetricType::Counter && endsWith(name, "_total"))
            name.resize(name.size() - 6);
        out += "# TYPE " + name + ' ' + typeName(family.type) + '\n';
        if (endsWith(name, "_seconds"))
            out += "# UNIT " + name + " seconds\n";
        if (!family.help.empty()) {
            out += "# HELP " + name + ' ';
            appendEscaped(out, family.help);
            out += '\n';
        }
        for (const ClientMetric &m : family.metric) {
            switch (family.type) {
            case MetricType::Counter:
                appendSample(out, name, "_total", m, m.counter.value);
                break;
            case MetricType::Gauge:
                appendSample(out, name, "", m, m.gauge.value);
                break;
            case MetricType::Untyped:
                appendSample(out, name, "", m, m.untyped.value);
                break;
            case MetricType::Histogram:
                for (const ClientMetric::Bucket &b : m.histogram.bucket)
                    appendSample(out, name, "_bucket", m, double(b.cumulative_count), "le", b.upper_bound);
                appendSample(out, name, "_count", m, double(m.histogram.sample_count));
                appendSample(out, name, "_sum", m, m.histogram.sample_sum);
                break;
            case MetricType::Summary:
                for (const ClientMetric::Quantile &q : m.summary.quantile)
                    appendSample(out, name, "", m, q.value, "quantile", q.quantile);
                appendSample(out, name, "_count", m, double(m.summary.sample_count));
                appendSample(out, name, "_sum", m, m.summary.sample_sum);
                break;
            }
        }
    }
    out += "# EOF\n";
    return out;
}

} // namespace netvane
