// Plays a script of front-list operations on a queue and on a plain vector side by side, checking after each step
// that the queue answers as the vector, which shifts its entries down, does.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <utility>
#include <vector>

// ops: 'b' push behind, 'f' push in front, 't' take the front, 'k' keep the front only, 'm' move into a new queue
// and back (a moved-from queue is reused like a fresh one, as the registry does), 'c' clear. make(n) builds the n-th
// value pushed; same(a, b) compares two values.
template <class Queue, class Value, class Make, class Same>
void playFrontListScript(const char* ops, Make make, Same same) {
    Queue queue;
    std::vector<Value> plain;
    int next = 1;
    for (const char* op = ops; *op; ++op) {
        const Value value = make(next++);
        switch (*op) {
            case 'b':
                queue.push_back(value);
                plain.push_back(value);
                break;
            case 'f':
                queue.push_front(value);
                plain.insert(plain.begin(), value);
                break;
            case 't':
                queue.pop_front();
                plain.erase(plain.begin());
                break;
            case 'k':
                queue.keepFront();
                plain.resize(1);
                break;
            case 'm': {
                Queue moved = std::move(queue);
                queue = Queue();
                queue = std::move(moved);
                break;
            }
            default:
                queue.clear();
                plain.clear();
                break;
        }
        ASSERT_EQ(queue.size(), plain.size()) << "after op " << (op - ops);
        ASSERT_EQ(queue.empty(), plain.empty());
        if (plain.empty()) continue;
        EXPECT_TRUE(same(queue.front(), plain.front()));
        EXPECT_TRUE(same(queue.back(), plain.back()));
        std::size_t i = 0;
        for (const Value& entry : queue) {
            EXPECT_TRUE(same(entry, plain[i]));
            EXPECT_TRUE(same(queue[i], plain[i]));
            ++i;
        }
        EXPECT_EQ(i, plain.size());
    }
}
