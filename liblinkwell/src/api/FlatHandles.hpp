// Every handle that the flat interface has handed out and not yet taken
// back. A host may pass any pointer: one it destroyed already, one it never
// got, or the same handle from several threads while one of them destroys
// it. A function of the flat interface therefore takes a handle's box only
// through find(), which gives it a share in the box for the call (or nothing
// for a pointer that is not a live handle of that kind), and a destroy
// function through remove(), so that destroying twice is harmless and a box
// goes only when its last call has returned.
#pragma once

#include <memory>

class FlatHandles {
public:
    // Registers the box as a live handle of its kind and returns it; NULL for
    // a null box.
    template <typename Box> static Box* add(std::shared_ptr<Box> box)
    {
        if (!box)
            return nullptr;
        Box* handle = box.get();
        add_entry(handle, kind<Box>(), std::move(box));
        return handle;
    }

    // The live handle's box; null for a pointer that is not one of this kind.
    template <typename Box> static std::shared_ptr<Box> find(const Box* handle)
    {
        return std::static_pointer_cast<Box>(find_entry(handle, kind<Box>()));
    }

    // Takes the handle back; its box goes when the last call that holds it
    // returns. Null when the pointer was not a live handle of this kind.
    template <typename Box> static std::shared_ptr<Box> remove(const Box* handle)
    {
        return std::static_pointer_cast<Box>(remove_entry(handle, kind<Box>()));
    }

private:
    // One address per kind of box.
    template <typename Box> static const void* kind()
    {
        static const char tag = 0;
        return &tag;
    }

    static void add_entry(const void* handle, const void* kind, std::shared_ptr<void> box);
    static std::shared_ptr<void> find_entry(const void* handle, const void* kind);
    static std::shared_ptr<void> remove_entry(const void* handle, const void* kind);
};
