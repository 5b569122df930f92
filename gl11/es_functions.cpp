// es_functions.cpp -- finds the context's own ES 3.0 entry points by name
#include "gl11/es_functions.h"

EsFunctions es{};

namespace {

struct Loader {
    void* (*lookup)(const char*);
    const char* missing = nullptr;

    // `own` is the layer's function of the same name, where it has one: a
    // lookup that answers with it would make every call recurse.
    template <typename F>
    void operator()(F& slot, const char* name, F own = nullptr)
    {
        void* found = lookup(name);
        slot = reinterpret_cast<F>(found);
        if (missing == nullptr && (found == nullptr || slot == own)) {
            missing = name;
        }
    }
};

}  // namespace

const char* es_load(void* (*lookup)(const char* name))
{
    Loader load{lookup};
#define ES_FUNCTION(name, ret, params) load(es.name, "gl" #name);
#define ES_LAYER_FUNCTION(name, ret, params) load(es.name, "gl" #name, &gl##name);
#include "gl11/es_function_list.h"
    return load.missing;
}
