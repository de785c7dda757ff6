#pragma once

#include "KeyboardPoster.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace talvex::test {

/// A keyboard that keeps the logical key state and records every posted press and release as
/// "<name> down" / "<name> up". Keys: control, shift, v, alt, super, altgr, space, insert.
class KeyboardPosterDouble final : public KeyboardPoster {
public:
    static constexpr KeyboardKey control{37, KeyRole::control};
    static constexpr KeyboardKey controlRight{105, KeyRole::control};
    static constexpr KeyboardKey shift{50, KeyRole::shift};
    static constexpr KeyboardKey v{55, KeyRole::other};
    static constexpr KeyboardKey alt{64, KeyRole::alt};
    static constexpr KeyboardKey super{133, KeyRole::super};
    static constexpr KeyboardKey altGr{108, KeyRole::otherModifier};
    static constexpr KeyboardKey space{65, KeyRole::other};
    static constexpr KeyboardKey insert{118, KeyRole::other};

    bool allowed = true;
    int accessRequests = 0;
    bool hasV = true;
    bool postsFail = false;
    std::set<std::uint32_t> down;                              ///< logical state
    std::optional<std::vector<KeyboardKey>> physical;          ///< what the user holds; absent = unknown
    QStringList posts;
    /// Runs after each successful post, e.g. to let a scripted application react to the chord.
    std::function<void(const KeyboardKey &, bool)> onPost;

    /// Makes `key` logically held, as if the user pressed it.
    void hold(const KeyboardKey &key) { down.insert(key.id); }

    bool canPostEvents() override { return allowed; }
    bool requestPostEventAccess() override
    {
        ++accessRequests;
        return allowed;
    }
    std::optional<KeyboardKey> keyFor(ChordKey key) override
    {
        switch (key) {
        case ChordKey::control: return control;
        case ChordKey::shift: return shift;
        case ChordKey::v: return hasV ? std::optional(v) : std::nullopt;
        case ChordKey::insert: return insert;
        }
        return std::nullopt;
    }
    std::vector<KeyboardKey> heldKeys() override
    {
        std::vector<KeyboardKey> keys;
        for (std::uint32_t id : down)
            keys.push_back(byId(id));
        return keys;
    }
    std::optional<std::vector<KeyboardKey>> physicallyHeldKeys() override { return physical; }
    bool post(const KeyboardKey &key, bool isDown) override
    {
        if (postsFail)
            return false;
        posts << name(key.id) + (isDown ? QStringLiteral(" down") : QStringLiteral(" up"));
        if (isDown)
            down.insert(key.id);
        else
            down.erase(key.id);
        if (onPost)
            onPost(key, isDown);
        return true;
    }

    bool isDown(const KeyboardKey &key) const { return down.count(key.id) > 0; }

    static QString name(std::uint32_t id)
    {
        static const std::map<std::uint32_t, QString> names = {
            {control.id, "control"}, {controlRight.id, "controlRight"}, {shift.id, "shift"}, {v.id, "v"},
            {alt.id, "alt"}, {super.id, "super"}, {altGr.id, "altgr"}, {space.id, "space"}, {insert.id, "insert"}};
        auto it = names.find(id);
        return it == names.end() ? QString::number(id) : it->second;
    }

private:
    static KeyboardKey byId(std::uint32_t id)
    {
        for (const KeyboardKey &key : {control, controlRight, shift, v, alt, super, altGr, space, insert})
            if (key.id == id)
                return key;
        return {id, KeyRole::other};
    }
};

} // namespace talvex::test
