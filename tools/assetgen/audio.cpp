// Synthesised sound effects and music, written as 16-bit WAV or Ogg Vorbis.
#include "audio.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "raster.h"

namespace {

const int kRate = 22050;

// RBJ biquad.
struct Biquad {
    float b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    static Biquad make(int type, float freq, float q) {
        float w = kTau * std::clamp(freq, 20.0f, kRate * 0.45f) / kRate, cw = std::cos(w), sw = std::sin(w), al = sw / (2.0f * q);
        Biquad f;
        float a0 = 1.0f + al;
        if (type == 0) {  // low-pass
            f.b0 = (1 - cw) / 2 / a0;
            f.b1 = (1 - cw) / a0;
            f.b2 = f.b0;
        } else if (type == 1) {  // high-pass
            f.b0 = (1 + cw) / 2 / a0;
            f.b1 = -(1 + cw) / a0;
            f.b2 = f.b0;
        } else {  // band-pass, unity peak
            f.b0 = al / a0;
            f.b1 = 0;
            f.b2 = -al / a0;
        }
        f.a1 = -2 * cw / a0;
        f.a2 = (1 - al) / a0;
        return f;
    }
    float run(float x) {
        float y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

struct Buf {
    std::vector<float> s;
    explicit Buf(float seconds) : s(static_cast<size_t>(std::max(0.01f, seconds) * kRate), 0.0f) {}
    size_t n() const { return s.size(); }
    float t(size_t i) const { return static_cast<float>(i) / kRate; }
    void add(const Buf& o, float at, float gain) {
        size_t off = static_cast<size_t>(at * kRate);
        for (size_t i = 0; i < o.n() && off + i < n(); ++i) s[off + i] += o.s[i] * gain;
    }
};

float envAD(float t, float attack, float decay) {
    if (t < attack) return t / attack;
    return std::exp(-(t - attack) / decay);
}

// Tone with a pitch glide from f0 to f1; shape 0 sine, 1 saw, 2 square, 3 triangle.
Buf tone(float seconds, float f0, float f1, int shape, float attack, float decay) {
    Buf b(seconds);
    float ph = 0.0f;
    for (size_t i = 0; i < b.n(); ++i) {
        float t = b.t(i), k = t / seconds;
        float f = f0 * std::pow(f1 / f0, k);
        ph += f / kRate;
        ph -= std::floor(ph);
        float v = 0.0f;
        switch (shape) {
            case 0: v = std::sin(ph * kTau); break;
            case 1: v = 2.0f * ph - 1.0f; break;
            case 2: v = ph < 0.5f ? 1.0f : -1.0f; break;
            default: v = 4.0f * std::fabs(ph - 0.5f) - 1.0f; break;
        }
        b.s[i] = v * envAD(t, attack, decay);
    }
    return b;
}

Buf noise(float seconds, uint32_t seed, float attack, float decay) {
    Buf b(seconds);
    Rng rng(seed);
    for (size_t i = 0; i < b.n(); ++i) b.s[i] = (rng.uniform() * 2.0f - 1.0f) * envAD(b.t(i), attack, decay);
    return b;
}

void filter(Buf& b, int type, float f0, float f1, float q) {
    // Time-varying filter: coefficients refreshed every 64 samples, state kept.
    Biquad f = Biquad::make(type, f0, q);
    for (size_t i = 0; i < b.n(); ++i) {
        if (i % 64 == 0) {
            float k = static_cast<float>(i) / b.n();
            Biquad g = Biquad::make(type, f0 * std::pow(f1 / f0, k), q);
            g.x1 = f.x1;
            g.x2 = f.x2;
            g.y1 = f.y1;
            g.y2 = f.y2;
            f = g;
        }
        b.s[i] = f.run(b.s[i]);
    }
}

// Karplus-Strong plucked string.
Buf pluck(float seconds, float freq, uint32_t seed, float damp) {
    Buf b(seconds);
    size_t period = static_cast<size_t>(kRate / std::max(freq, 20.0f));
    std::vector<float> ring(std::max<size_t>(period, 2));
    Rng rng(seed);
    for (float& v : ring) v = rng.uniform() * 2.0f - 1.0f;
    size_t idx = 0;
    for (size_t i = 0; i < b.n(); ++i) {
        size_t nx = (idx + 1) % ring.size();
        float v = ring[idx];
        ring[idx] = (v + ring[nx]) * 0.5f * damp;
        b.s[i] = v;
        idx = nx;
    }
    return b;
}

// Formant voice: a buzz through three vowel resonances, one syllable per entry.
const float kVowels[5][3] = {{730, 1090, 2440}, {530, 1840, 2480}, {270, 2290, 3010}, {570, 840, 2410}, {300, 870, 2240}};

Buf voice(const std::string& race, uint32_t seed, int syllables, float pitch, float contour, bool gruff, float syl = 0.13f) {
    Rng rng(seed);
    Buf out(syllables * syl + 0.12f);
    bool alien = lower(race) == "vohmathal";
    for (int k = 0; k < syllables; ++k) {
        const float* v = kVowels[rng.below(5)];
        Buf src(syl);
        float ph = 0.0f;
        float p0 = pitch * (1.0f + rng.range(-0.08f, 0.08f));
        for (size_t i = 0; i < src.n(); ++i) {
            float t = src.t(i) / syl;
            float f = p0 * (1.0f + contour * (t - 0.5f) + (alien ? 0.06f * std::sin(src.t(i) * kTau * 23.0f) : 0.0f));
            ph += f / kRate;
            ph -= std::floor(ph);
            float buzz = 2.0f * ph - 1.0f;
            if (gruff || alien) buzz = std::tanh(buzz * 3.0f) + 0.3f * (rng.uniform() - 0.5f);
            float env = std::sin(std::min(1.0f, t) * 3.14159f);
            src.s[i] = buzz * env;
        }
        Buf mixd(syl);
        for (int fm = 0; fm < 3; ++fm) {
            Buf band = src;
            float shift = alien ? 0.8f : 1.0f;
            filter(band, 2, v[fm] * shift, v[fm] * shift * rng.range(0.9f, 1.1f), 6.0f);
            mixd.add(band, 0.0f, fm == 0 ? 1.0f : 0.6f);
        }
        if (rng.uniform() < 0.6f) {
            Buf fric = noise(0.035f, seed + static_cast<uint32_t>(k), 0.002f, 0.012f);
            filter(fric, 1, 3000.0f, 3000.0f, 0.7f);
            out.add(fric, k * syl, 0.35f);
        }
        if (alien) {
            // Chitter: ring modulation and a click on every syllable.
            for (size_t i = 0; i < mixd.n(); ++i) mixd.s[i] *= 0.6f + 0.4f * std::sin(mixd.t(i) * kTau * 55.0f);
            out.add(noise(0.01f, seed + 77u + static_cast<uint32_t>(k), 0.0005f, 0.003f), k * syl, 0.6f);
        }
        out.add(mixd, k * syl + 0.02f, 3.0f);
    }
    return out;
}

Buf whoosh(float seconds, uint32_t seed, float f0, float f1) {
    Buf b = noise(seconds, seed, seconds * 0.4f, seconds * 0.3f);
    filter(b, 2, f0, f1, 1.5f);
    return b;
}

Buf boom(float seconds, uint32_t seed, float low) {
    Buf b(seconds);
    b.add(tone(seconds, low * 2.0f, low * 0.5f, 0, 0.002f, seconds * 0.3f), 0.0f, 1.0f);
    Buf rumble = noise(seconds, seed, 0.003f, seconds * 0.35f);
    filter(rumble, 0, 1800.0f, 200.0f, 0.7f);
    b.add(rumble, 0.0f, 1.2f);
    Buf crack = noise(0.05f, seed + 1, 0.0005f, 0.015f);
    b.add(crack, 0.0f, 0.6f);
    return b;
}

Buf gunshot(uint32_t seed, float weight) {
    Buf b(0.35f + weight * 0.3f);
    Buf crack = noise(0.3f, seed, 0.0005f, 0.03f + weight * 0.04f);
    filter(crack, 0, 6000.0f, 900.0f, 0.8f);
    b.add(crack, 0.0f, 1.0f);
    b.add(tone(0.3f, 160.0f * (1.0f - weight * 0.4f), 50.0f, 0, 0.001f, 0.06f + weight * 0.08f), 0.0f, 0.9f);
    return b;
}

Buf metalRing(float freq, float seconds) {
    Buf b(seconds);
    const float partials[] = {1.0f, 2.76f, 5.4f, 8.93f};
    for (int i = 0; i < 4; ++i) b.add(tone(seconds, freq * partials[i], freq * partials[i], 0, 0.001f, seconds * 0.35f / (i + 1)), 0.0f, 0.5f / (i + 1));
    return b;
}

Buf knock(uint32_t seed, float freq) {
    Buf b(0.18f);
    b.add(tone(0.18f, freq, freq * 0.7f, 0, 0.001f, 0.04f), 0.0f, 1.0f);
    Buf n = noise(0.05f, seed, 0.0005f, 0.01f);
    filter(n, 2, 1500.0f, 800.0f, 1.0f);
    b.add(n, 0.0f, 0.8f);
    return b;
}

Buf chime(const std::vector<float>& notes, float step, float decay) {
    Buf b(step * notes.size() + decay * 3.0f);
    for (size_t i = 0; i < notes.size(); ++i) {
        b.add(tone(decay * 3.0f, notes[i], notes[i], 0, 0.005f, decay), step * i, 0.6f);
        b.add(tone(decay * 2.0f, notes[i] * 2.0f, notes[i] * 2.0f, 0, 0.005f, decay * 0.5f), step * i, 0.2f);
    }
    return b;
}

float midi(float n) { return 440.0f * std::pow(2.0f, (n - 69.0f) / 12.0f); }

// Effect recipes by key words.
using Recipe = Buf (*)(const std::string& key, const std::string& race, uint32_t seed);

Buf rDeath(const std::string& key, const std::string& race, uint32_t seed) {
    std::string k = lower(key);
    if (has(k, {"tank", "jet", "zeppelin", "ship", "catapult", "mine", "boat", "artillery", "cannon"})) return boom(1.0f, seed, 60.0f);
    Buf v = voice(race, seed, 2, 200.0f, -1.2f, true, 0.24f);
    Buf thud = knock(seed + 3, 90.0f);
    v.add(thud, 0.42f, 0.8f);
    return v;
}

Buf rResponse(const std::string&, const std::string& race, uint32_t seed) {
    Rng rng(seed);
    float pitch = lower(race) == "vohmathal" ? rng.range(90.0f, 170.0f) : rng.range(115.0f, 160.0f);
    return voice(race, seed, 2 + rng.below(2), pitch, rng.range(-0.3f, 0.5f), false);
}

Buf rReady(const std::string& key, const std::string& race, uint32_t seed) {
    Buf v = rResponse(key, race, seed);
    Buf c = chime({midi(72), midi(79)}, 0.07f, 0.08f);
    Buf out(std::max(v.n(), c.n()) / static_cast<float>(kRate) + 0.05f);
    out.add(c, 0.0f, 0.5f);
    out.add(v, 0.12f, 1.0f);
    return out;
}

Buf rAlarm(const std::string&, const std::string& race, uint32_t) {
    Buf b(1.0f);
    bool alien = lower(race) == "vohmathal";
    for (int i = 0; i < 3; ++i) b.add(tone(0.16f, alien ? 300.0f : 880.0f, alien ? 220.0f : 880.0f, alien ? 1 : 2, 0.005f, 0.2f), i * 0.3f, 0.5f);
    for (int i = 0; i < 3; ++i) b.add(tone(0.14f, alien ? 240.0f : 660.0f, alien ? 180.0f : 660.0f, alien ? 1 : 2, 0.005f, 0.2f), i * 0.3f + 0.15f, 0.5f);
    filter(b, 0, 3000.0f, 3000.0f, 0.7f);
    return b;
}

Buf rComplete(const std::string&, const std::string&, uint32_t) { return chime({midi(67), midi(72), midi(76), midi(79)}, 0.09f, 0.12f); }

Buf rConstruct(const std::string&, const std::string&, uint32_t seed) {
    Buf b(0.75f);
    for (int i = 0; i < 3; ++i) {
        b.add(knock(seed + static_cast<uint32_t>(i), 420.0f - i * 30.0f), i * 0.2f, 0.9f);
        b.add(metalRing(1200.0f + i * 90.0f, 0.2f), i * 0.2f, 0.15f);
    }
    return b;
}

Buf rSword(const std::string& key, const std::string&, uint32_t seed) {
    Buf b(0.55f);
    b.add(whoosh(0.25f, seed, 500.0f, 3500.0f), 0.0f, 1.0f);
    if (lower(key).find("saber") != std::string::npos) {
        b.add(tone(0.45f, 110.0f, 140.0f, 1, 0.02f, 0.2f), 0.0f, 0.4f);
    } else {
        b.add(metalRing(1800.0f, 0.35f), 0.22f, 0.6f);
    }
    return b;
}

Buf rChop(const std::string&, const std::string&, uint32_t seed) {
    Buf b(0.4f);
    b.add(whoosh(0.15f, seed, 400.0f, 1500.0f), 0.0f, 0.6f);
    b.add(knock(seed + 1, 180.0f), 0.14f, 1.2f);
    return b;
}

Buf rBow(const std::string&, const std::string&, uint32_t seed) {
    Buf b(0.5f);
    b.add(pluck(0.45f, 110.0f, seed, 0.995f), 0.0f, 0.8f);
    b.add(whoosh(0.2f, seed + 1, 1500.0f, 4000.0f), 0.05f, 0.4f);
    return b;
}

Buf rThud(const std::string&, const std::string&, uint32_t seed) { return knock(seed, 130.0f); }

Buf rGun(const std::string&, const std::string&, uint32_t seed) { return gunshot(seed, 0.1f); }

Buf rBigGun(const std::string&, const std::string&, uint32_t seed) {
    Buf b = gunshot(seed, 1.0f);
    Buf tail = boom(0.9f, seed + 4, 45.0f);
    Buf out(1.0f);
    out.add(b, 0.0f, 0.8f);
    out.add(tail, 0.0f, 0.8f);
    return out;
}

Buf rLaser(const std::string&, const std::string&, uint32_t) {
    Buf b = tone(0.35f, 2400.0f, 300.0f, 2, 0.002f, 0.12f);
    filter(b, 0, 5000.0f, 1200.0f, 1.0f);
    return b;
}

Buf rCatapult(const std::string&, const std::string&, uint32_t seed) {
    Buf b(0.8f);
    b.add(knock(seed, 90.0f), 0.0f, 0.8f);
    b.add(whoosh(0.5f, seed + 2, 300.0f, 900.0f), 0.1f, 0.9f);
    return b;
}

Buf rBoom(const std::string&, const std::string&, uint32_t seed) { return boom(1.1f, seed, 55.0f); }

Buf rDark(const std::string&, const std::string&, uint32_t seed) {
    Buf b(0.9f);
    Buf w = whoosh(0.8f, seed, 2500.0f, 200.0f);
    b.add(w, 0.0f, 1.0f);
    b.add(tone(0.9f, 70.0f, 55.0f, 1, 0.2f, 0.4f), 0.0f, 0.5f);
    return b;
}

Buf rDrill(const std::string&, const std::string&, uint32_t seed) {
    Buf b = tone(0.8f, 140.0f, 150.0f, 1, 0.02f, 2.0f);
    for (size_t i = 0; i < b.n(); ++i) b.s[i] *= 0.6f + 0.4f * std::sin(b.t(i) * kTau * 30.0f);
    Buf grit = noise(0.8f, seed, 0.02f, 2.0f);
    filter(grit, 2, 2500.0f, 2500.0f, 2.0f);
    b.add(grit, 0.0f, 0.3f);
    for (size_t i = b.n() * 3 / 4; i < b.n(); ++i) b.s[i] *= static_cast<float>(b.n() - i) / (b.n() / 4.0f);
    return b;
}

Buf rBurning(const std::string&, const std::string&, uint32_t seed) {
    Buf b = noise(1.2f, seed, 0.1f, 3.0f);
    filter(b, 0, 900.0f, 900.0f, 0.7f);
    Rng rng(seed);
    for (int i = 0; i < 25; ++i) b.add(noise(0.008f, seed + static_cast<uint32_t>(i), 0.0005f, 0.002f), rng.range(0.0f, 1.15f), 1.5f);
    for (size_t i = b.n() * 4 / 5; i < b.n(); ++i) b.s[i] *= static_cast<float>(b.n() - i) / (b.n() / 5.0f);
    return b;
}

Buf rVictory(const std::string&, const std::string&, uint32_t) {
    Buf b(2.2f);
    const float notes[] = {60, 64, 67, 72, 67, 72};
    const float at[] = {0.0f, 0.15f, 0.3f, 0.45f, 0.75f, 0.9f};
    for (int i = 0; i < 6; ++i) {
        Buf n = tone(i == 5 ? 1.2f : 0.3f, midi(notes[i]), midi(notes[i]), 1, 0.02f, i == 5 ? 0.6f : 0.2f);
        filter(n, 0, 2500.0f, 1500.0f, 0.8f);
        b.add(n, at[i], 0.5f);
        b.add(tone(i == 5 ? 1.2f : 0.3f, midi(notes[i] - 12), midi(notes[i] - 12), 3, 0.02f, 0.4f), at[i], 0.3f);
    }
    return b;
}

Buf rDefeat(const std::string&, const std::string&, uint32_t) {
    Buf b(2.6f);
    const float notes[] = {67, 63, 60, 55};
    for (int i = 0; i < 4; ++i) {
        Buf n = tone(i == 3 ? 1.6f : 0.5f, midi(notes[i]), midi(notes[i]) * (i == 3 ? 0.97f : 1.0f), 1, 0.04f, i == 3 ? 0.8f : 0.35f);
        filter(n, 0, 1400.0f, 800.0f, 0.8f);
        b.add(n, i * 0.45f, 0.5f);
        b.add(tone(1.0f, midi(notes[i] - 24), midi(notes[i] - 24), 0, 0.05f, 0.5f), i * 0.45f, 0.4f);
    }
    return b;
}

Buf rError(const std::string&, const std::string&, uint32_t) {
    Buf b(0.4f);
    b.add(tone(0.12f, 180.0f, 170.0f, 2, 0.003f, 0.2f), 0.0f, 0.4f);
    b.add(tone(0.15f, 140.0f, 130.0f, 2, 0.003f, 0.2f), 0.16f, 0.4f);
    filter(b, 0, 1500.0f, 1500.0f, 0.7f);
    return b;
}

Buf rHeal(const std::string&, const std::string&, uint32_t) { return chime({midi(72), midi(76), midi(79), midi(84), midi(88)}, 0.06f, 0.15f); }

Buf rHaste(const std::string&, const std::string&, uint32_t seed) {
    Buf b = tone(0.6f, 300.0f, 1500.0f, 3, 0.02f, 0.3f);
    b.add(whoosh(0.5f, seed, 800.0f, 4000.0f), 0.05f, 0.5f);
    return b;
}

Buf rSlow(const std::string&, const std::string&, uint32_t) {
    Buf b = tone(0.8f, 600.0f, 120.0f, 3, 0.02f, 0.4f);
    for (size_t i = 0; i < b.n(); ++i) b.s[i] *= 0.7f + 0.3f * std::sin(b.t(i) * kTau * 7.0f);
    return b;
}

Buf rFrost(const std::string&, const std::string&, uint32_t seed) {
    Buf b(1.4f);
    Buf wind = noise(1.4f, seed, 0.3f, 0.6f);
    filter(wind, 2, 600.0f, 1800.0f, 3.0f);
    b.add(wind, 0.0f, 0.8f);
    Rng rng(seed);
    for (int i = 0; i < 6; ++i) b.add(metalRing(rng.range(2000.0f, 3500.0f), 0.3f), rng.range(0.0f, 1.0f), 0.2f);
    return b;
}

Buf rWind(const std::string&, const std::string&, uint32_t seed) {
    Buf b = noise(1.4f, seed, 0.3f, 0.7f);
    filter(b, 2, 300.0f, 1200.0f, 2.0f);
    return b;
}

Buf rFire(const std::string&, const std::string&, uint32_t seed) {
    Buf b = noise(0.9f, seed, 0.05f, 0.4f);
    filter(b, 0, 400.0f, 2500.0f, 0.9f);
    b.add(tone(0.9f, 80.0f, 60.0f, 1, 0.05f, 0.4f), 0.0f, 0.3f);
    return b;
}

Buf rShimmer(const std::string&, const std::string&, uint32_t seed) {
    Buf b(1.0f);
    Rng rng(seed);
    for (int i = 0; i < 8; ++i) b.add(tone(0.4f, rng.range(1500.0f, 3000.0f), rng.range(1500.0f, 3000.0f), 0, 0.05f, 0.15f), i * 0.08f, 0.25f);
    return b;
}

Buf rWarp(const std::string&, const std::string&, uint32_t seed) {
    Buf b = tone(0.8f, 120.0f, 900.0f, 1, 0.02f, 0.35f);
    filter(b, 2, 300.0f, 3000.0f, 4.0f);
    b.add(whoosh(0.7f, seed, 3000.0f, 300.0f), 0.1f, 0.6f);
    return b;
}

Buf rMine(const std::string&, const std::string&, uint32_t seed) {
    Buf b(0.6f);
    for (int i = 0; i < 3; ++i) b.add(tone(0.06f, 1800.0f, 1800.0f, 2, 0.002f, 0.03f), i * 0.12f, 0.3f);
    b.add(knock(seed, 600.0f), 0.4f, 0.6f);
    return b;
}

Buf rWhistleBoom(const std::string&, const std::string&, uint32_t seed) {
    Buf b(1.8f);
    b.add(tone(0.8f, 2200.0f, 700.0f, 0, 0.05f, 1.0f), 0.0f, 0.3f);
    b.add(boom(1.0f, seed, 50.0f), 0.75f, 1.0f);
    return b;
}

Buf rChoir(const std::string&, const std::string&, uint32_t) {
    Buf b(1.4f);
    for (float n : {60.0f, 64.0f, 67.0f, 72.0f}) {
        Buf v = tone(1.4f, midi(n), midi(n) * 1.003f, 1, 0.3f, 0.6f);
        filter(v, 2, 800.0f, 1100.0f, 2.0f);
        b.add(v, 0.0f, 0.5f);
    }
    return b;
}

Buf rMagic(const std::string&, const std::string&, uint32_t seed) {
    Rng rng(seed);
    float base = rng.range(300.0f, 700.0f);
    Buf b = tone(0.7f, base, base * rng.range(1.5f, 3.0f), 3, 0.01f, 0.3f);
    b.add(rShimmer("", "", seed), 0.05f, 0.5f);
    return b;
}

Buf rBuilding(const std::string&, const std::string& race, uint32_t seed) {
    if (lower(race) == "vohmathal") {
        Buf b = noise(0.5f, seed, 0.02f, 0.15f);
        filter(b, 2, 300.0f, 120.0f, 5.0f);
        Buf gurgle = tone(0.5f, 90.0f, 60.0f, 1, 0.01f, 0.2f);
        for (size_t i = 0; i < gurgle.n(); ++i) gurgle.s[i] *= 0.5f + 0.5f * std::sin(gurgle.t(i) * kTau * 14.0f);
        b.add(gurgle, 0.0f, 0.6f);
        return b;
    }
    Buf b = tone(0.45f, 100.0f, 100.0f, 1, 0.02f, 0.25f);
    filter(b, 0, 600.0f, 600.0f, 0.7f);
    b.add(tone(0.12f, 1320.0f, 1320.0f, 0, 0.003f, 0.05f), 0.05f, 0.25f);
    b.add(tone(0.12f, 1760.0f, 1760.0f, 0, 0.003f, 0.05f), 0.14f, 0.25f);
    return b;
}

Buf rCrystal(const std::string&, const std::string&, uint32_t) { return chime({midi(84), midi(91), midi(88)}, 0.05f, 0.2f); }

Buf rOil(const std::string&, const std::string&, uint32_t seed) {
    Buf b(0.6f);
    Rng rng(seed);
    for (int i = 0; i < 4; ++i) {
        float f = rng.range(200.0f, 400.0f);
        b.add(tone(0.12f, f, f * 2.0f, 0, 0.005f, 0.04f), i * 0.11f, 0.5f);
    }
    return b;
}

Buf rRustle(const std::string&, const std::string&, uint32_t seed) {
    Buf b = noise(0.5f, seed, 0.05f, 0.15f);
    filter(b, 1, 2000.0f, 2000.0f, 0.7f);
    return b;
}

Buf rBlip(const std::string&, const std::string&, uint32_t seed) {
    Rng rng(seed);
    float f = rng.range(500.0f, 900.0f);
    return tone(0.15f, f, f * 1.3f, 0, 0.003f, 0.05f);
}

struct SoundRule {
    std::initializer_list<const char*> words;
    Recipe recipe;
};

// Matched against the key, lower case; the first rule that matches wins.
const SoundRule kSounds[] = {
    {{"victory"}, rVictory},
    {{"defeat"}, rDefeat},
    {{"error"}, rError},
    {{"underattack", "under_attack", "alarm"}, rAlarm},
    {{"workcomplete", "complete", "finished"}, rComplete},
    {{".death", "death", "die"}, rDeath},
    {{".ready", "ready", "trained"}, rReady},
    {{"responses", "response", "select", "acknowledge", ".yes", "move", "order"}, rResponse},
    {{"construct", "build", "hammer", "repair"}, rConstruct},
    {{"sword", "saber", "blade", "slash"}, rSword},
    {{"choppingtree", "chop", "axe"}, rChop},
    {{"bowfire", "bow"}, rBow},
    {{"bowhit", "arrowhit"}, rThud},
    {{"catapultfire"}, rCatapult},
    {{"catapulthit", "explosion", "explode", "demolish", "boom"}, rBoom},
    {{"tankfire", "shipattack", "cannon", "siege"}, rBigGun},
    {{"shoot", "gun", "rifle", "fire_weapon", "shot"}, rGun},
    {{"laser", "plasma"}, rLaser},
    {{"touchofdarkness", "dark", "unholy", "decay", "shadow"}, rDark},
    {{"drill", "mining", "mine_"}, rDrill},
    {{"burning", "burn"}, rBurning},
    {{"heal", "mend", "regen"}, rHeal},
    {{"haste", "speed", "bloodlust", "seeingred", "rage"}, rHaste},
    {{"slow"}, rSlow},
    {{"blizzard", "frost", "freez", "ice", "cryo"}, rFrost},
    {{"whirlwind", "wind"}, rWind},
    {{"flame", "fire", "polymorph"}, rFire},
    {{"invisib", "cloak"}, rShimmer},
    {{"teleport", "abyssal", "warp"}, rWarp},
    {{"latchedmine", "mine"}, rMine},
    {{"artillery", "bombing", "bomb"}, rWhistleBoom},
    {{"holy", "vision", "eye"}, rChoir},
    {{"crystal", "gold"}, rCrystal},
    {{"amber", "oil"}, rOil},
    {{"tree", "wood"}, rRustle},
};

Recipe recipeFor(const std::string& category, const std::string& key) {
    std::string k = lower(key);
    if (category == "Building") return rBuilding;
    for (const SoundRule& r : kSounds)
        if (has(k, r.words)) return r.recipe;
    if (category == "Spells") return rMagic;
    if (category == "Unit") return rResponse;
    return rBlip;
}

// Gentle limiter and a short fade so no effect clicks at its ends.
Wave finish(Buf b, float peak) {
    float m = 0.0f;
    for (float v : b.s) m = std::max(m, std::fabs(v));
    float g = m > 1e-6f ? peak / m : 0.0f;
    size_t fade = std::min<size_t>(b.n() / 4, 200);
    for (size_t i = 0; i < b.n(); ++i) {
        float v = std::tanh(b.s[i] * g * 1.2f) / std::tanh(1.2f);
        if (i >= b.n() - fade) v *= static_cast<float>(b.n() - i) / fade;
        b.s[i] = v;
    }
    Wave w;
    w.rate = kRate;
    w.samples = std::move(b.s);
    return w;
}

// Music: a chord loop with pad, bass, arpeggio, drums and a wandering lead.
struct Style {
    float bpm;
    int root;                    // MIDI note of the key
    std::vector<int> scale;      // semitones
    std::vector<int> chords;     // scale degrees, one per bar
    bool march;                  // straight snare backbeat, else tribal toms
    float padBright;
};

Style styleFor(const std::string& race, const std::string& list, int index) {
    std::string r = lower(race);
    if (list == "MainMenuMusic") return {72.0f + index * 6.0f, 45 + index * 2, {0, 2, 3, 5, 7, 8, 10}, {0, 5, 2, 6}, true, 1400.0f};
    if (r == "vohmathal") return {88.0f + index * 8.0f, 40 + index * 3, {0, 1, 4, 5, 7, 8, 10}, {0, 1, 0, 6}, false, 900.0f};
    return {104.0f + index * 8.0f, 43 + index * 2, {0, 2, 3, 5, 7, 9, 10}, {0, 5, 3, 6}, true, 1800.0f};
}

int degreeNote(const Style& st, int degree, int octave) {
    int n = static_cast<int>(st.scale.size());
    int d = ((degree % n) + n) % n;
    int o = (degree - d) / n;
    return st.root + st.scale[static_cast<size_t>(d)] + 12 * (octave + o);
}

void addNote(Buf& b, float at, float len, float freq, int shape, float gain, float cutoff) {
    Buf n = tone(len, freq, freq, shape, std::min(0.02f, len * 0.2f), len * 0.5f);
    if (cutoff > 0.0f) filter(n, 0, cutoff, cutoff * 0.6f, 0.8f);
    b.add(n, at, gain);
}

void reverb(Buf& b, float mix) {
    const size_t delays[] = {1557, 1617, 1491, 1422};
    std::vector<float> out(b.n(), 0.0f);
    for (size_t d : delays) {
        std::vector<float> line(d, 0.0f);
        size_t idx = 0;
        for (size_t i = 0; i < b.n(); ++i) {
            float y = line[idx];
            line[idx] = b.s[i] + y * 0.78f;
            out[i] += y * 0.25f;
            idx = (idx + 1) % d;
        }
    }
    for (size_t i = 0; i < b.n(); ++i) b.s[i] += out[i] * mix;
}

}  // namespace

Wave synthEffect(const std::string& category, const std::string& key, const std::string& race, int variant) {
    uint32_t seed = hashString(category + "/" + key + "/" + race) + static_cast<uint32_t>(variant) * 7919u;
    Buf b = recipeFor(category, key)(key, race, seed);
    return finish(std::move(b), 0.85f);
}

Wave synthMusic(const std::string& race, const std::string& list, int index) {
    Style st = styleFor(race, list, index);
    float beat = 60.0f / st.bpm, bar = beat * 4.0f;
    const int bars = 24;
    Buf music(bars * bar + 3.0f);
    Rng rng(hashString(race + list) + static_cast<uint32_t>(index) * 131u);
    int lead = 2;
    for (int b = 0; b < bars; ++b) {
        int deg = st.chords[static_cast<size_t>(b % st.chords.size())];
        float t0 = b * bar;
        bool intro = b < 4, full = b >= 8 && b < bars - 2, outro = b >= bars - 2;
        float fade = outro ? 0.6f : 1.0f;
        // Pad: three chord tones, detuned saws, slow swell.
        for (int k = 0; k < 3; ++k) {
            float f = midi(static_cast<float>(degreeNote(st, deg + 2 * k, 1)));
            Buf pad = tone(bar + 0.3f, f, f * 1.004f, 1, bar * 0.35f, bar * 0.8f);
            filter(pad, 0, st.padBright, st.padBright * 0.7f, 0.7f);
            music.add(pad, t0, 0.09f * fade);
        }
        if (intro) continue;
        // Bass on the beats.
        for (int q = 0; q < 4; ++q) addNote(music, t0 + q * beat, beat * 0.9f, midi(static_cast<float>(degreeNote(st, deg, -1))), q % 2 ? 3 : 1, 0.22f * fade, 500.0f);
        // Arpeggio in eighths.
        for (int e = 0; e < 8; ++e) {
            int tone3 = deg + 2 * ((e * 3) % 4 == 3 ? 1 : (e * 3) % 4);
            Buf p = pluck(beat * 0.6f, midi(static_cast<float>(degreeNote(st, tone3, 2))), hashString(list) + static_cast<uint32_t>(b * 8 + e), 0.996f);
            music.add(p, t0 + e * beat * 0.5f, 0.1f * fade);
        }
        if (!full) continue;
        // Drums.
        for (int q = 0; q < 4; ++q) {
            float at = t0 + q * beat;
            if (q % 2 == 0 || !st.march) music.add(tone(0.3f, 120.0f, 45.0f, 0, 0.001f, 0.08f), at, 0.45f);
            if (st.march && q % 2 == 1) {
                Buf sn = noise(0.2f, static_cast<uint32_t>(b * 4 + q), 0.001f, 0.05f);
                filter(sn, 2, 1800.0f, 1800.0f, 0.8f);
                music.add(sn, at, 0.35f);
            }
            if (!st.march) music.add(tone(0.25f, 200.0f + 40.0f * (q % 3), 150.0f, 0, 0.001f, 0.07f), at + beat * 0.5f, 0.25f);
            Buf hat = noise(0.05f, static_cast<uint32_t>(b * 8 + q * 2), 0.0005f, 0.012f);
            filter(hat, 1, 7000.0f, 7000.0f, 0.7f);
            music.add(hat, at + beat * 0.5f, 0.12f);
        }
        // Lead: a random walk over the scale that leans on chord tones.
        for (int q = 0; q < 4; q += (rng.uniform() < 0.3f ? 2 : 1)) {
            lead += rng.below(5) - 2;
            lead = std::clamp(lead, 0, 9);
            if (q == 0) lead = deg + 2 * rng.below(3);
            float f = midi(static_cast<float>(degreeNote(st, lead, 2)));
            Buf n = tone(beat * 1.1f, f, f, 3, 0.03f, beat * 0.7f);
            for (size_t i = 0; i < n.n(); ++i) n.s[i] *= 1.0f + 0.15f * std::sin(n.t(i) * kTau * 5.5f);
            music.add(n, t0 + q * beat, 0.13f);
        }
    }
    reverb(music, 0.35f);
    return finish(std::move(music), 0.8f);
}

std::vector<uint8_t> encodeWav(const Wave& w) {
    std::vector<uint8_t> out;
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto u16 = [&](uint16_t v) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    };
    uint32_t bytes = static_cast<uint32_t>(w.samples.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    u32(36 + bytes);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    u32(16);
    u16(1);
    u16(1);
    u32(static_cast<uint32_t>(w.rate));
    u32(static_cast<uint32_t>(w.rate * 2));
    u16(2);
    u16(16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    u32(bytes);
    for (float v : w.samples) u16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f))));
    return out;
}

std::vector<uint8_t> encodeOgg(const Wave& w, float quality, uint32_t serial) {
    std::vector<uint8_t> out;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, 1, w.rate, quality) != 0) {
        vorbis_info_clear(&vi);
        return out;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_comment_add_tag(&vc, "ENCODER", "corvale-assetgen");
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, static_cast<int>(serial & 0x7fffffff));
    ogg_packet header, comm, code;
    vorbis_analysis_headerout(&vd, &vc, &header, &comm, &code);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comm);
    ogg_stream_packetin(&os, &code);
    ogg_page og;
    auto emit = [&](const ogg_page& page) {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    };
    while (ogg_stream_flush(&os, &og) != 0) emit(og);
    const size_t chunk = 4096;
    size_t pos = 0;
    bool eos = false;
    while (!eos) {
        size_t n = std::min(chunk, w.samples.size() - pos);
        if (n == 0) {
            vorbis_analysis_wrote(&vd, 0);
        } else {
            float** buf = vorbis_analysis_buffer(&vd, static_cast<int>(n));
            std::memcpy(buf[0], w.samples.data() + pos, n * sizeof(float));
            vorbis_analysis_wrote(&vd, static_cast<int>(n));
            pos += n;
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &og) != 0) {
                    emit(og);
                    if (ogg_page_eos(&og)) eos = true;
                }
            }
        }
        if (n == 0 && !eos) {
            while (ogg_stream_flush(&os, &og) != 0) emit(og);
            eos = true;
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}
