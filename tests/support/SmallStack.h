// Runs a function on a thread with a small stack, as simulators run models: a
// recursion that grows with its input overflows there long before it would on
// a main thread.
#pragma once

#include <pthread.h>

#include <functional>
#include <string>

inline bool RunOnSmallStack(const std::function<void()>& work, std::size_t stackBytes = 256 * 1024) {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    pthread_attr_setstacksize(&attributes, stackBytes);
    auto body = [](void* argument) -> void* {
        (*static_cast<const std::function<void()>*>(argument))();
        return nullptr;
    };
    pthread_t thread;
    const bool started = pthread_create(&thread, &attributes, body, const_cast<std::function<void()>*>(&work)) == 0;
    pthread_attr_destroy(&attributes);
    if (started) pthread_join(thread, nullptr);
    return started;
}

// A parameter text whose list `name` holds `depth` lists inside each other
// around the leaf (x 1): (name (d(d(d ... (x 1)))) tail).
inline std::string DeeplyNested(const std::string& name, std::size_t depth, const std::string& tail) {
    std::string text = "(" + name + " ";
    text.reserve(text.size() + 3 * depth + tail.size() + 16);
    for (std::size_t i = 0; i < depth; ++i) text += "(d";
    text += "(x 1)";
    text.append(depth, ')');
    return text + " " + tail + ")";
}
