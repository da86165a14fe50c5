// Numbered objects: the one ownership convention of every engine service.
//
// Each service (sprites, images, fonts, sounds, archives, files, folder scans,
// windows) keeps its objects in an ObjectTable. The caller names an object by a
// small non-negative number of its choosing, or passes AutoId to let the table
// choose; then the operation returns an opaque handle that names the object from
// then on. Handles carry a generation, so a handle whose object was freed never
// finds the object that later reuses its slot.
//
// Creating an object under a number already in use frees the old object first.
// Looking up a number or handle with no object returns nullptr, which every
// engine operation turns into "do nothing, return 0".
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace engine {

// Pass as an object number to have the table choose one and return a handle.
inline constexpr int AutoId = -1;
// Names no object of any table, ever (neither a number, a handle nor AutoId):
// a place that may hold no picture holds this. Every operation ignores it.
inline constexpr int NoObject = -2;

// Numbers at or beyond this are refused: they are far beyond any table a game
// needs, and indexing a vector by them would be a memory bomb.
inline constexpr int kMaxObjectNumber = 1 << 16;

template <typename T>
class ObjectTable {
  public:
    // Creates a default-constructed object under `id` (a number, or AutoId) and
    // returns it, with `*result` set to the handle (AutoId) or 1 (a number).
    // Returns nullptr with `*result` 0 when `id` is neither.
    T* Create(int id, int* result) {
        *result = 0;
        if (id == AutoId) {
            int slot = FreeAutoSlot();
            if (slot < 0) return nullptr;
            auto& entry = auto_[slot];
            entry.object = std::make_unique<T>();
            *result = MakeHandle(slot, entry.generation);
            return entry.object.get();
        }
        if (id < 0 || id >= kMaxObjectNumber) return nullptr;
        if (static_cast<size_t>(id) >= numbered_.size()) numbered_.resize(id + 1);
        numbered_[id].reset();  // the old object goes first
        numbered_[id] = std::make_unique<T>();
        *result = 1;
        return numbered_[id].get();
    }

    // Stores an object built elsewhere, with the same rules as Create.
    int Insert(int id, std::unique_ptr<T> object) {
        int result = 0;
        T* slot = Create(id, &result);
        if (!slot) return 0;
        Slot(id, result).swap(object);
        return result;
    }

    // The object named by a number or handle, or nullptr.
    T* Get(int id) const {
        if (IsHandle(id)) {
            int slot = id & 0xFFFF;
            int generation = (id >> 16) & 0x3FFF;
            if (slot >= static_cast<int>(auto_.size())) return nullptr;
            const auto& entry = auto_[slot];
            return entry.generation == generation ? entry.object.get() : nullptr;
        }
        if (id < 0 || static_cast<size_t>(id) >= numbered_.size()) return nullptr;
        return numbered_[id].get();
    }

    // Frees one object; returns true when there was one.
    bool Release(int id) {
        if (IsHandle(id)) {
            int slot = id & 0xFFFF;
            if (!Get(id)) return false;
            auto& entry = auto_[slot];
            entry.object.reset();
            entry.generation = (entry.generation + 1) & 0x3FFF;
            free_slots_.push_back(slot);
            return true;
        }
        if (!Get(id)) return false;
        numbered_[id].reset();
        return true;
    }

    void ReleaseAll() {
        for (auto& object : numbered_)
            object.reset();
        for (size_t slot = 0; slot < auto_.size(); ++slot) {
            if (auto_[slot].object)
                Release(MakeHandle(static_cast<int>(slot), auto_[slot].generation));
        }
    }

    // Calls f(id, object) for every live object: numbers first, then handles.
    template <typename F>
    void ForEach(F&& f) const {
        for (size_t i = 0; i < numbered_.size(); ++i) {
            if (numbered_[i]) f(static_cast<int>(i), *numbered_[i]);
        }
        for (size_t slot = 0; slot < auto_.size(); ++slot) {
            if (auto_[slot].object) {
                f(MakeHandle(static_cast<int>(slot), auto_[slot].generation), *auto_[slot].object);
            }
        }
    }

    size_t Count() const {
        size_t n = 0;
        ForEach([&n](int, const T&) { ++n; });
        return n;
    }

    static bool IsHandle(int id) { return id > 0 && (id & kHandleBit) != 0; }

  private:
    static constexpr int kHandleBit = 1 << 30;
    static constexpr int kMaxAutoSlots = 1 << 16;

    struct AutoEntry {
        std::unique_ptr<T> object;
        int generation = 1;
    };

    static int MakeHandle(int slot, int generation) {
        return kHandleBit | ((generation & 0x3FFF) << 16) | slot;
    }

    int FreeAutoSlot() {
        if (!free_slots_.empty()) {
            int slot = free_slots_.back();
            free_slots_.pop_back();
            return slot;
        }
        if (auto_.size() >= static_cast<size_t>(kMaxAutoSlots)) return -1;
        auto_.emplace_back();
        return static_cast<int>(auto_.size() - 1);
    }

    std::unique_ptr<T>& Slot(int id, int result) {
        if (id == AutoId) return auto_[result & 0xFFFF].object;
        return numbered_[id];
    }

    std::vector<std::unique_ptr<T>> numbered_;
    std::vector<AutoEntry> auto_;
    std::vector<int> free_slots_;
};

}  // namespace engine
