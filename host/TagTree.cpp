// Tag trees: paths, lookups, creation along a path, copies and change seeds.
#include "TagTree.h"

#include <algorithm>
#include <atomic>

namespace StandIn {
namespace {

// One clock for every tree of the process: a seed taken from one tree is never reached by
// another tree's older changes.
std::atomic<std::int32_t> gChangeClock{1};

constexpr std::size_t kMaxIndexDigits = 9;

std::string quoted(const std::string& text) { return "'" + text + "'"; }

std::string prefixText(const std::vector<TagStep>& steps, std::size_t count) {
    return tagPathText(std::vector<TagStep>(steps.begin(), steps.begin() + count));
}

std::string stepText(const TagStep& step) {
    return step.isIndex ? "[" + std::to_string(step.index) + "]" : step.label;
}

// Walks every step but the last. With `make`, missing groups are made; without it, the walk
// stops at the first missing step and answers the node reached and the step it stopped at.
struct WalkEnd {
    TagNode* node;
    std::size_t stoppedAt;  // == steps.size() - 1 when every earlier step exists
};

WalkEnd walk(TagNode& root, const std::vector<TagStep>& steps, bool make, bool strict) {
    TagNode* node = &root;
    for (std::size_t i = 0; i + 1 < steps.size(); ++i) {
        const TagStep& step = steps[i];
        std::optional<std::size_t> at;
        if (step.isIndex) {
            if (step.index < node->entries.size()) {
                at = step.index;
            } else if (strict) {
                throw TagPathError("the tag path " + quoted(tagPathText(steps)) + " has no tag " +
                                   quoted(prefixText(steps, i + 1)) + ": index " +
                                   std::to_string(step.index) + " is out of range for " +
                                   std::to_string(node->entries.size()) + " tags");
            } else {
                return {node, i};
            }
        } else if (node->list) {
            if (!strict) return {node, i};
            throw TagPathError("the tag path " + quoted(tagPathText(steps)) + " uses the label " +
                               quoted(step.label) + " inside a list, whose tags have no labels");
        } else {
            at = node->find(step.label);
        }
        if (!at) {
            if (!make) {
                // The rest must be labels for the path to be makeable: an index (the last step's
                // too) would look into a group that is yet to be made, and empty.
                if (strict) {
                    for (std::size_t j = i + 1; j < steps.size(); ++j) {
                        if (steps[j].isIndex)
                            throw TagPathError("the tag path " + quoted(tagPathText(steps)) +
                                               " has no tag " + quoted(prefixText(steps, j + 1)) +
                                               ": the group " + quoted(prefixText(steps, j)) +
                                               " would be new and empty");
                    }
                }
                return {node, i};
            }
            TagEntry entry;
            entry.label = step.label;
            entry.value.type = TagType::Group;
            entry.value.group = std::make_shared<TagNode>();
            node->entries.push_back(std::move(entry));
            node->touch();
            at = node->entries.size() - 1;
        }
        const TagValue& value = node->entries[*at].value;
        if (value.type != TagType::Group) {
            if (!strict) return {node, i};
            throw TagPathError("the tag path " + quoted(tagPathText(steps)) + " passes through " +
                               quoted(prefixText(steps, i + 1)) + ", which is a " +
                               tagTypeName(value.type) + " tag, not a tag group");
        }
        node = value.group.get();
    }
    return {node, steps.size() - 1};
}

std::optional<std::size_t> lookUp(const TagNode& node, const TagStep& step) {
    if (step.isIndex) {
        if (step.index < node.entries.size()) return step.index;
        return std::nullopt;
    }
    if (node.list) return std::nullopt;
    return node.find(step.label);
}

}  // namespace

const char* tagTypeName(TagType type) {
    switch (type) {
        case TagType::Empty: return "empty";
        case TagType::Boolean: return "Boolean";
        case TagType::Short: return "short";
        case TagType::UInt16: return "uint16";
        case TagType::Long: return "long";
        case TagType::UInt32: return "uint32";
        case TagType::Float: return "float";
        case TagType::Double: return "double";
        case TagType::FloatComplex: return "float complex";
        case TagType::DoubleComplex: return "double complex";
        case TagType::EightBitColor: return "eight-bit colour";
        case TagType::FloatPoint: return "float point";
        case TagType::ShortPoint: return "short point";
        case TagType::LongPoint: return "long point";
        case TagType::FloatRect: return "float rectangle";
        case TagType::ShortRect: return "short rectangle";
        case TagType::LongRect: return "long rectangle";
        case TagType::RGBUInt16: return "16-bit RGB";
        case TagType::String: return "string";
        case TagType::Group: return "tag group";
        case TagType::Array: return "array";
    }
    return "?";
}

std::optional<std::size_t> TagNode::find(const std::string& label) const {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].label == label) return i;
    }
    return std::nullopt;
}

void TagNode::touch() { changed = gChangeClock.fetch_add(1) + 1; }

std::vector<TagStep> parseTagPath(const std::string& path) {
    auto bad = [&path](const std::string& why, std::size_t pos) {
        return TagPathError("the tag path " + quoted(path) + " is malformed: " + why +
                            " at position " + std::to_string(pos + 1));
    };
    if (path.empty()) throw TagPathError("the tag path is empty");
    std::vector<TagStep> steps;
    std::size_t pos = 0;
    while (true) {
        // One step: an optional label, then any number of indexes; at least one of the two.
        std::size_t stepStart = pos;
        std::size_t labelEnd = path.find_first_of(":[]", pos);
        if (labelEnd == std::string::npos) labelEnd = path.size();
        if (labelEnd > pos) {
            TagStep label;
            label.label = path.substr(pos, labelEnd - pos);
            steps.push_back(std::move(label));
            pos = labelEnd;
        }
        while (pos < path.size() && path[pos] == '[') {
            std::size_t close = path.find(']', pos + 1);
            if (close == std::string::npos) throw bad("'[' without ']'", pos);
            std::string digits = path.substr(pos + 1, close - pos - 1);
            if (digits.empty()) throw bad("an empty index", pos);
            if (digits.size() > kMaxIndexDigits) throw bad("an index of too many digits", pos);
            for (char ch : digits) {
                if (ch < '0' || ch > '9') throw bad("an index that is not a decimal number", pos);
            }
            TagStep index;
            index.isIndex = true;
            index.index = static_cast<std::size_t>(std::stoul(digits));
            steps.push_back(std::move(index));
            pos = close + 1;
        }
        if (pos == stepStart) {
            throw bad(pos < path.size() && path[pos] == ']' ? "a stray ']'" : "an empty step", pos);
        }
        if (pos == path.size()) break;
        if (path[pos] != ':') throw bad("a stray '" + std::string(1, path[pos]) + "'", pos);
        ++pos;
        if (pos == path.size()) throw bad("an empty step", pos);
    }
    return steps;
}

void checkTagLabel(const std::string& label) {
    if (label.empty()) throw TagPathError("a tag label may not be empty");
    if (label.find_first_of(":[]") != std::string::npos) {
        throw TagPathError("the tag label " + quoted(label) +
                           " contains ':', '[' or ']', which separate the steps of tag paths");
    }
}

std::string tagPathText(const std::vector<TagStep>& steps) {
    std::string out;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (i) out += ':';
        out += stepText(steps[i]);
    }
    return out;
}

std::optional<TagSpot> findTag(TagNode& root, const std::vector<TagStep>& steps) {
    WalkEnd end = walk(root, steps, false, false);
    if (end.stoppedAt + 1 != steps.size()) return std::nullopt;
    return TagSpot{end.node, lookUp(*end.node, steps.back())};
}

TagSpot makeTagPath(TagNode& root, const std::vector<TagStep>& steps) {
    walk(root, steps, false, true);  // every error before anything is made
    WalkEnd end = walk(root, steps, true, true);
    const TagStep& last = steps.back();
    if (!last.isIndex && end.node->list) {
        throw TagPathError("the tag path " + quoted(tagPathText(steps)) + " ends in the label " +
                           quoted(last.label) + " inside a list, whose tags have no labels");
    }
    return TagSpot{end.node, lookUp(*end.node, last)};
}

TagNode& deepestExisting(TagNode& root, const std::vector<TagStep>& steps) {
    return *walk(root, steps, false, false).node;
}

bool reaches(const TagNode& from, const TagNode* target) {
    if (&from == target) return true;
    for (const TagEntry& e : from.entries) {
        if (e.value.type == TagType::Group && e.value.group && reaches(*e.value.group, target))
            return true;
    }
    return false;
}

TagValue cloneValue(const TagValue& value) {
    TagValue copy = value;
    if (value.type == TagType::Group && value.group) copy.group = cloneTree(*value.group);
    return copy;
}

std::shared_ptr<TagNode> cloneTree(const TagNode& node) {
    auto copy = std::make_shared<TagNode>();
    copy->list = node.list;
    copy->open = node.open;
    copy->entries.reserve(node.entries.size());
    for (const TagEntry& e : node.entries) copy->entries.push_back({e.label, cloneValue(e.value)});
    copy->touch();
    return copy;
}

std::int32_t treeSeed(const TagNode& node) {
    std::int32_t seed = node.changed;
    for (const TagEntry& e : node.entries) {
        if (e.value.type == TagType::Group && e.value.group)
            seed = std::max(seed, treeSeed(*e.value.group));
    }
    return seed;
}

}  // namespace StandIn
