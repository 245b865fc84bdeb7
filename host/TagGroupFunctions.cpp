// The tag-group functions that shape trees: validity and kind, counts, labels, making, adding,
// deleting and copying tags, paths, and change seeds. The typed values are TagValueFunctions.cpp.
//
// Labels are unique within a group: making or adding a tag under a label the group already has
// fails, while the copying functions that merge (TagGroupCopyTagsFrom, TagGroupCopyTag) replace
// the tag of that label. Lists hold unlabelled tags only; tags copied into a list lose their
// labels. "After i" needs an existing tag i; "Before i" takes 0 to count (count: at the end).
// Copies are deep; a tag group added as a tag is the node itself and is answered back with one
// count for the caller.
#include "ModelSupport.h"

namespace StandIn {
namespace {

using Model::fail;

std::vector<TagStep> pathParam(NativeCall& c, std::size_t i) {
    try {
        return parseTagPath(c.text(i));
    } catch (const TagPathError& e) {
        fail(c, std::string(e.what()) + ".");
    }
}

std::string labelParam(NativeCall& c, std::size_t i) {
    std::string label = c.text(i);
    try {
        checkTagLabel(label);
    } catch (const TagPathError& e) {
        fail(c, std::string(e.what()) + ".");
    }
    return label;
}

// Adds a labelled tag at the end of a group (not a list), refusing a label already there.
std::size_t addLabelled(NativeCall& c, TagNode& node, const std::string& label, TagValue value) {
    if (node.list) fail(c, "the tags of a list have no labels ('" + label + "').");
    if (node.find(label)) fail(c, "the tag group already has a tag '" + label + "'.");
    node.entries.push_back({label, std::move(value)});
    node.touch();
    return node.entries.size() - 1;
}

std::size_t insertAt(TagNode& node, std::size_t index, TagValue value) {
    node.entries.insert(node.entries.begin() + static_cast<std::ptrdiff_t>(index),
                        TagEntry{std::string(), std::move(value)});
    node.touch();
    return index;
}

TagValue newGroupValue(bool list) {
    TagValue v;
    v.type = TagType::Group;
    v.group = std::make_shared<TagNode>();
    v.group->list = list;
    return v;
}

// Where a tag is made relative to an index: Where::After and Where::Before read it from
// parameter 1, the others take none.
enum class Where { AtBeginning, AtEnd, After, Before };

std::size_t placeIndex(NativeCall& c, const TagNode& node, Where where) {
    std::size_t n = node.entries.size();
    switch (where) {
        case Where::AtBeginning: return 0;
        case Where::AtEnd: return n;
        case Where::After: return Model::indexParam(c, 1, n) + 1;
        case Where::Before: return Model::indexParam(c, 1, n, true);
    }
    return n;
}

struct Placement {
    const char* suffix;
    Where where;
};
const Placement kPlacements[] = {{"After", Where::After},
                                 {"AtBeginning", Where::AtBeginning},
                                 {"AtEnd", Where::AtEnd},
                                 {"Before", Where::Before}};

bool takesIndex(Where w) { return w == Where::After || w == Where::Before; }

// Copies a tag into `dst` by the merge rule: a labelled tag replaces the tag of its label in a
// group, anything else is added at the end. Answers its index.
std::size_t mergeCopy(TagNode& dst, const TagEntry& entry) {
    TagValue copy = cloneValue(entry.value);
    if (!dst.list && !entry.label.empty()) {
        if (auto at = dst.find(entry.label)) {
            dst.entries[*at].value = std::move(copy);
            dst.touch();
            return *at;
        }
    }
    dst.entries.push_back({dst.list ? std::string() : entry.label, std::move(copy)});
    dst.touch();
    return dst.entries.size() - 1;
}

void checkNoCycle(NativeCall& c, const TagNode& child, const TagNode& target) {
    if (reaches(child, &target)) fail(c, "a tag group cannot be added inside itself.");
}

void defineQueries(Host& host, Host::State& s) {
    host.define("Boolean TagGroupIsValid( TagGroup )", [&s](NativeCall& c) {
        c.setResultBoolean(s.live(c.handle(0), ObjectKind::TagGroup) != nullptr);
    });
    host.define("Boolean TagGroupIsList( TagGroup )",
                [](NativeCall& c) { c.setResultBoolean(Model::tagGroupParam(c, 0).list); });
    host.define("Boolean TagGroupIsOpen( TagGroup )",
                [](NativeCall& c) { c.setResultBoolean(Model::tagGroupParam(c, 0).open); });
    host.define("void TagGroupSetIsOpen( TagGroup, Boolean )",
                [](NativeCall& c) { Model::tagGroupParam(c, 0).open = c.boolean(1); });
    host.define("long TagGroupCountTags( TagGroup )", [](NativeCall& c) {
        c.setResult(static_cast<std::int32_t>(Model::tagGroupParam(c, 0).entries.size()));
    });
    host.define("qz_string TagGroupGetTagLabel( TagGroup, long )", [&s](NativeCall& c) {
        TagNode& node = Model::tagGroupParam(c, 0);
        std::size_t i = Model::indexParam(c, 1, node.entries.size());
        c.setResultHandle(Model::newLatin1String(s, node.entries[i].label));
    });
    host.define("Boolean TagGroupDoesTagExist( TagGroup, string )", [](NativeCall& c) {
        TagNode& root = Model::tagGroupParam(c, 0);
        std::optional<TagSpot> spot = findTag(root, pathParam(c, 1));
        c.setResultBoolean(spot && spot->index);
    });
}

void defineMaking(Host& host, Host::State& s) {
    for (const Placement& p : kPlacements) {
        const std::string where = p.suffix;
        const std::string params = takesIndex(p.where) ? "( TagGroup, long )" : "( TagGroup )";
        const Where w = p.where;
        for (bool list : {false, true}) {
            host.define(std::string("TagGroup TagGroupCreate") + (list ? "List" : "Group") + "Tag" +
                            where + params,
                        [&s, w, list](NativeCall& c) {
                            TagNode& node = Model::tagGroupParam(c, 0);
                            TagValue v = newGroupValue(list);
                            std::shared_ptr<TagNode> child = v.group;
                            insertAt(node, placeIndex(c, node, w), std::move(v));
                            c.setResultHandle(Model::nodeHandle(s, child));
                        });
        }
        host.define("long TagGroupCreateNewTag" + where + params, [w](NativeCall& c) {
            TagNode& node = Model::tagGroupParam(c, 0);
            std::size_t at = insertAt(node, placeIndex(c, node, w), TagValue{});
            c.setResult(static_cast<std::int32_t>(at));
        });
        std::string addParams =
            takesIndex(p.where) ? "( TagGroup, long, TagGroup )" : "( TagGroup, TagGroup )";
        host.define("TagGroup TagGroupAddTagGroup" + where + addParams, [&s, w](NativeCall& c) {
            TagNode& node = Model::tagGroupParam(c, 0);
            std::shared_ptr<TagNode> child = Model::tagGroupNodeParam(c, takesIndex(w) ? 2 : 1);
            checkNoCycle(c, *child, node);
            TagValue v;
            v.type = TagType::Group;
            v.group = child;
            insertAt(node, placeIndex(c, node, w), std::move(v));
            c.setResultHandle(Model::nodeHandle(s, child));
        });
    }
    for (bool list : {false, true}) {
        host.define(std::string("TagGroup TagGroupCreateNewLabeled") + (list ? "List" : "Group") +
                        "( TagGroup, string )",
                    [&s, list](NativeCall& c) {
                        TagNode& node = Model::tagGroupParam(c, 0);
                        TagValue v = newGroupValue(list);
                        std::shared_ptr<TagNode> child = v.group;
                        addLabelled(c, node, labelParam(c, 1), std::move(v));
                        c.setResultHandle(Model::nodeHandle(s, child));
                    });
        host.define(std::string("TagGroup TagGroupGetOrCreateTag") + (list ? "List" : "Group") +
                        "( TagGroup, string )",
                    [&s, list](NativeCall& c) {
                        TagNode& root = Model::tagGroupParam(c, 0);
                        std::vector<TagStep> steps = pathParam(c, 1);
                        const char* want = list ? "list" : "group";
                        TagSpot spot;
                        try {
                            spot = makeTagPath(root, steps);
                        } catch (const TagPathError& e) {
                            fail(c, std::string(e.what()) + ".");
                        }
                        std::string path = tagPathText(steps);
                        std::shared_ptr<TagNode> child;
                        if (spot.index) {
                            const TagValue& v = spot.node->entries[*spot.index].value;
                            if (v.type != TagType::Group || v.group->list != list) {
                                fail(c, "the tag '" + path + "' is a " +
                                            (v.type == TagType::Group
                                                 ? std::string(v.group->list ? "list" : "group")
                                                 : std::string(tagTypeName(v.type)) + " tag") +
                                            ", not a " + want + ".");
                            }
                            child = v.group;
                        } else if (steps.back().isIndex) {
                            fail(c, "the tag path '" + path +
                                        "' names no tag: the index is out "
                                        "of range.");
                        } else {
                            TagValue v = newGroupValue(list);
                            child = v.group;
                            spot.node->entries.push_back({steps.back().label, std::move(v)});
                            spot.node->touch();
                        }
                        c.setResultHandle(Model::nodeHandle(s, child));
                    });
    }
    host.define("long TagGroupCreateNewLabeledTag( TagGroup, string )", [](NativeCall& c) {
        TagNode& node = Model::tagGroupParam(c, 0);
        c.setResult(static_cast<std::int32_t>(addLabelled(c, node, labelParam(c, 1), TagValue{})));
    });
    host.define("TagGroup TagGroupAddLabeledTagGroup( TagGroup, string, TagGroup )",
                [&s](NativeCall& c) {
                    TagNode& node = Model::tagGroupParam(c, 0);
                    std::string label = labelParam(c, 1);
                    std::shared_ptr<TagNode> child = Model::tagGroupNodeParam(c, 2);
                    checkNoCycle(c, *child, node);
                    TagValue v;
                    v.type = TagType::Group;
                    v.group = child;
                    addLabelled(c, node, label, std::move(v));
                    c.setResultHandle(Model::nodeHandle(s, child));
                });
}

void defineDeleting(Host& host) {
    host.define("void TagGroupDeleteAllTags( TagGroup )", [](NativeCall& c) {
        TagNode& node = Model::tagGroupParam(c, 0);
        node.entries.clear();
        node.touch();
    });
    host.define("void TagGroupDeleteTagWithIndex( TagGroup, long )", [](NativeCall& c) {
        TagNode& node = Model::tagGroupParam(c, 0);
        std::size_t i = Model::indexParam(c, 1, node.entries.size());
        node.entries.erase(node.entries.begin() + static_cast<std::ptrdiff_t>(i));
        node.touch();
    });
    host.define("void TagGroupDeleteTagWithLabel( TagGroup, string )", [](NativeCall& c) {
        TagNode& root = Model::tagGroupParam(c, 0);
        std::vector<TagStep> steps = pathParam(c, 1);
        std::optional<TagSpot> spot = findTag(root, steps);
        if (!spot || !spot->index)
            fail(c, "the tag group has no tag '" + tagPathText(steps) + "'.");
        spot->node->entries.erase(spot->node->entries.begin() +
                                  static_cast<std::ptrdiff_t>(*spot->index));
        spot->node->touch();
    });
}

void defineCopying(Host& host, Host::State& s) {
    host.define("TagGroup TagGroupClone( TagGroup )", [&s](NativeCall& c) {
        c.setResultHandle(Model::nodeHandle(s, cloneTree(Model::tagGroupParam(c, 0))));
    });
    host.define("void TagGroupCopyTagsFrom( TagGroup, TagGroup )", [](NativeCall& c) {
        TagNode& dst = Model::tagGroupParam(c, 0);
        std::vector<TagEntry> from = Model::tagGroupParam(c, 1).entries;  // dst may be src
        for (const TagEntry& e : from) mergeCopy(dst, e);
        dst.touch();
    });
    host.define("void TagGroupReplaceTagsWithCopy( TagGroup, TagGroup )", [](NativeCall& c) {
        TagNode& dst = Model::tagGroupParam(c, 0);
        std::vector<TagEntry> copies;
        for (const TagEntry& e : Model::tagGroupParam(c, 1).entries)
            copies.push_back({dst.list ? std::string() : e.label, cloneValue(e.value)});
        dst.entries = std::move(copies);
        dst.touch();
    });
    host.define("long TagGroupCopyTag( TagGroup, TagGroup, long )", [](NativeCall& c) {
        TagNode& dst = Model::tagGroupParam(c, 0);
        TagNode& src = Model::tagGroupParam(c, 1);
        TagEntry entry = src.entries[Model::indexParam(c, 2, src.entries.size())];
        c.setResult(static_cast<std::int32_t>(mergeCopy(dst, entry)));
    });
    host.define("void TagGroupCopyTagToIndex( TagGroup, long, TagGroup, long )", [](NativeCall& c) {
        TagNode& dst = Model::tagGroupParam(c, 0);
        TagNode& src = Model::tagGroupParam(c, 2);
        TagEntry entry = src.entries[Model::indexParam(c, 3, src.entries.size())];
        std::size_t at = Model::indexParam(c, 1, dst.entries.size(), true);
        if (dst.list) entry.label.clear();
        if (!entry.label.empty() && dst.find(entry.label))
            fail(c, "the tag group already has a tag '" + entry.label + "'.");
        dst.entries.insert(dst.entries.begin() + static_cast<std::ptrdiff_t>(at),
                           TagEntry{entry.label, cloneValue(entry.value)});
        dst.touch();
    });
}

void defineSeeds(Host& host) {
    host.define("long TagGroupGetSeeds( TagGroup )",
                [](NativeCall& c) { c.setResult(treeSeed(Model::tagGroupParam(c, 0))); });
    host.define("void TagGroupReleaseSeeds( TagGroup, long )",
                [](NativeCall& c) { Model::tagGroupParam(c, 0); });
    host.define("Boolean TagGroupHasChangedSince( TagGroup, long )", [](NativeCall& c) {
        c.setResultBoolean(treeSeed(Model::tagGroupParam(c, 0)) > c.int32(1));
    });
    host.define("void TagGroupMarkAsChanged( TagGroup )",
                [](NativeCall& c) { Model::tagGroupParam(c, 0).touch(); });
}

// long TagGroupParse[AndCreate]TagPath( TagGroup, qz_string path, TagGroup *holder,
// qz_string *last ): the group that holds the path's last step and that step's text; the answer
// is the index of the tag there, or -1 when it does not exist. When an earlier step is missing
// (and is not made), the answer is -1 and nothing is written.
void defineParsing(Host& host, Host::State& s) {
    for (bool create : {false, true}) {
        host.define(std::string("long TagGroupParse") + (create ? "AndCreate" : "") +
                        "TagPath( TagGroup, qz_string, TagGroup *, qz_string * )",
                    [&s, create](NativeCall& c) {
                        TagNode& root = Model::tagGroupParam(c, 0);
                        std::vector<TagStep> steps;
                        try {
                            steps = parseTagPath(Model::latin1Param(c, 1));
                            std::optional<TagSpot> spot;
                            if (create)
                                spot = makeTagPath(root, steps);
                            else
                                spot = findTag(root, steps);
                            if (!spot) {
                                c.setResult<std::int32_t>(-1);
                                return;
                            }
                            std::shared_ptr<TagNode> holder = spot->node->shared_from_this();
                            Model::storeOut(c, 2, [&] { return Model::nodeHandle(s, holder); });
                            std::string last = tagPathText({steps.back()});
                            Model::storeOut(c, 3, [&] { return Model::newLatin1String(s, last); });
                            c.setResult<std::int32_t>(
                                spot->index ? static_cast<std::int32_t>(*spot->index) : -1);
                        } catch (const TagPathError& e) {
                            fail(c, std::string(e.what()) + ".");
                        }
                    });
    }
}

}  // namespace

void installTagGroupFunctions(Host& host) {
    Host::State& s = host.state();
    defineQueries(host, s);
    defineMaking(host, s);
    defineDeleting(host);
    defineCopying(host, s);
    defineSeeds(host);
    defineParsing(host, s);
}

}  // namespace StandIn
