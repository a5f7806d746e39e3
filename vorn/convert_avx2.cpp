// AVX2 row converters: groups of 32 pixels from an even start column, the
// same exact 16-bit arithmetic as the SSE2 ones; a remainder of 16 or more
// goes to those. 256-bit unpacks work per 128-bit lane, so the halves hold
// pixels 0-7 and 16-23 (low) and 8-15 and 24-31 (high) until the stores put
// them back in order.
#include <immintrin.h>

#include "vorn/convert_impl.h"

namespace {

inline __m256i K16(int32_t v) { return _mm256_set1_epi16((int16_t)(uint16_t)v); }

struct Terms {
  __m256i r[2], g[2], b[2];
};

inline Terms ChromaTerms(const uint8_t* cv, const uint8_t* cu) {
  const __m256i k128 = K16(128);
  __m256i dv = _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128((const __m128i*)cv)), k128);
  __m256i du = _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128((const __m128i*)cu)), k128);
  __m256i av = _mm256_slli_epi16(_mm256_abs_epi16(dv), 1);  // 2 |d|
  __m256i au = _mm256_slli_epi16(_mm256_abs_epi16(du), 1);
  // sign(d) * magnitude
  __m256i r = _mm256_sign_epi16(_mm256_mulhi_epu16(av, K16(52299)), dv);
  __m256i b = _mm256_sign_epi16(_mm256_add_epi16(au, _mm256_mulhi_epu16(au, K16(565))), du);
  __m256i gv = _mm256_sign_epi16(_mm256_mulhi_epu16(av, K16(26639)), dv);
  __m256i gu = _mm256_sign_epi16(_mm256_mulhi_epu16(au, K16(12837)), du);
  __m256i g = _mm256_sub_epi16(_mm256_sub_epi16(_mm256_setzero_si256(), gv), gu);
  Terms t;
  t.r[0] = _mm256_unpacklo_epi16(r, r), t.r[1] = _mm256_unpackhi_epi16(r, r);
  t.g[0] = _mm256_unpacklo_epi16(g, g), t.g[1] = _mm256_unpackhi_epi16(g, g);
  t.b[0] = _mm256_unpacklo_epi16(b, b), t.b[1] = _mm256_unpackhi_epi16(b, b);
  return t;
}

struct Channels {
  __m256i r[2], g[2], b[2];
};

// Clamp: the byte formats get it from the saturating pack.
template <bool Gray, bool Clamp>
inline Channels Compute(const uint8_t* yp, const Terms& t) {
  const __m256i zero = _mm256_setzero_si256(), max = K16(255);
  __m256i y = _mm256_loadu_si256((const __m256i*)yp);
  __m256i ti = _mm256_min_epu8(_mm256_subs_epu8(y, _mm256_set1_epi8(16)), _mm256_set1_epi8((char)219));
  Channels c;
  #pragma GCC unroll 4
  for (int32_t h = 0; h < 2; h++) {
    __m256i t16 = h ? _mm256_unpackhi_epi8(ti, zero) : _mm256_unpacklo_epi8(ti, zero);
    if (Gray) {
      c.r[h] = c.g[h] = c.b[h] = _mm256_add_epi16(t16, _mm256_mulhi_epu16(t16, K16(10774)));
    } else {
      __m256i l = _mm256_mulhi_epu16(_mm256_slli_epi16(t16, 1), K16(38154));
      c.r[h] = _mm256_add_epi16(l, t.r[h]);
      if (Clamp) c.r[h] = _mm256_min_epi16(_mm256_max_epi16(c.r[h], zero), max);
      c.g[h] = _mm256_add_epi16(l, t.g[h]);
      if (Clamp) c.g[h] = _mm256_min_epi16(_mm256_max_epi16(c.g[h], zero), max);
      c.b[h] = _mm256_add_epi16(l, t.b[h]);
      if (Clamp) c.b[h] = _mm256_min_epi16(_mm256_max_epi16(c.b[h], zero), max);
    }
  }
  return c;
}

inline void Store(uint8_t* d, __m256i v) { _mm256_storeu_si256((__m256i*)d, v); }
inline void Store(uint8_t* d, __m128i v) { _mm_storeu_si128((__m128i*)d, v); }

// Stores lane-split halves a = (A0 | A1) and b = (B0 | B1) as A0 B0 A1 B1.
inline void StoreInOrder(uint8_t* d, __m256i a, __m256i b) {
  Store(d, _mm256_permute2x128_si256(a, b, 0x20));
  Store(d + 32, _mm256_permute2x128_si256(a, b, 0x31));
}

// 16 dword pixels (in order) to 48 bytes.
inline void Store24(uint8_t* d, __m128i p0, __m128i p1, __m128i p2, __m128i p3) {
  const __m128i m0 = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  const __m128i m1 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 1, 2, 4);
  const __m128i m2 = _mm_setr_epi8(5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i m3 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6, 8, 9);
  const __m128i m4 = _mm_setr_epi8(10, 12, 13, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i m5 = _mm_setr_epi8(-1, -1, -1, -1, 0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14);
  Store(d, _mm_or_si128(_mm_shuffle_epi8(p0, m0), _mm_shuffle_epi8(p1, m1)));
  Store(d + 16, _mm_or_si128(_mm_shuffle_epi8(p1, m2), _mm_shuffle_epi8(p2, m3)));
  Store(d + 32, _mm_or_si128(_mm_shuffle_epi8(p2, m4), _mm_shuffle_epi8(p3, m5)));
}

inline void Store24(uint8_t* d, __m256i a, __m256i b) {
  Store24(d, _mm256_castsi256_si128(a), _mm256_extracti128_si256(a, 1), _mm256_castsi256_si128(b),
          _mm256_extracti128_si256(b, 1));
}

template <int Kind, bool Wide, bool Swap, bool Alpha>
inline void PutRgb(uint8_t* d, const Channels& c, const uint8_t* ap, const __m128i* sh) {
  const __m256i zero = _mm256_setzero_si256();
  if (Kind == VORN_KIND_RGB16) {
    __m256i v[2];
    __m256i a = Alpha ? _mm256_loadu_si256((const __m256i*)ap) : zero;
    #pragma GCC unroll 4
    for (int32_t h = 0; h < 2; h++) {
      __m256i top = Swap ? c.b[h] : c.r[h], bot = Swap ? c.r[h] : c.b[h];
      v[h] = _mm256_sll_epi16(_mm256_srl_epi16(top, sh[0]), sh[1]);
      v[h] = _mm256_or_si256(v[h], _mm256_sll_epi16(_mm256_srl_epi16(c.g[h], sh[2]), sh[3]));
      v[h] = _mm256_or_si256(v[h], _mm256_srl_epi16(bot, sh[4]));
      if (Alpha) {
        __m256i a16 = h ? _mm256_unpackhi_epi8(a, zero) : _mm256_unpacklo_epi8(a, zero);
        v[h] = _mm256_or_si256(v[h], _mm256_sll_epi16(_mm256_srl_epi16(a16, sh[5]), sh[6]));
      }
    }
    if (Wide) {
      // v[h] doubled: pixels 8h-8h+7 go to byte 32h, 16+8h-23+8h to 64+32h.
      #pragma GCC unroll 4
      for (int32_t h = 0; h < 2; h++) {
        __m256i lo = _mm256_unpacklo_epi16(v[h], v[h]), hi = _mm256_unpackhi_epi16(v[h], v[h]);
        Store(d + 32 * h, _mm256_permute2x128_si256(lo, hi, 0x20));
        Store(d + 64 + 32 * h, _mm256_permute2x128_si256(lo, hi, 0x31));
      }
    } else {
      StoreInOrder(d, v[0], v[1]);
    }
    return;
  }
  __m256i r8 = _mm256_packus_epi16(c.r[0], c.r[1]), g8 = _mm256_packus_epi16(c.g[0], c.g[1]);
  __m256i b8 = _mm256_packus_epi16(c.b[0], c.b[1]);
  __m256i lo = Swap ? r8 : b8, hi = Swap ? b8 : r8;
  __m256i a8 = Alpha ? _mm256_loadu_si256((const __m256i*)ap) : zero;
  __m256i lg0 = _mm256_unpacklo_epi8(lo, g8), lg1 = _mm256_unpackhi_epi8(lo, g8);
  __m256i ha0 = _mm256_unpacklo_epi8(hi, a8), ha1 = _mm256_unpackhi_epi8(hi, a8);
  __m256i q0 = _mm256_unpacklo_epi16(lg0, ha0), q1 = _mm256_unpackhi_epi16(lg0, ha0);
  __m256i q2 = _mm256_unpacklo_epi16(lg1, ha1), q3 = _mm256_unpackhi_epi16(lg1, ha1);
  // pixels 0-7, 8-15, 16-23, 24-31
  __m256i o[4] = {_mm256_permute2x128_si256(q0, q1, 0x20), _mm256_permute2x128_si256(q2, q3, 0x20),
                  _mm256_permute2x128_si256(q0, q1, 0x31), _mm256_permute2x128_si256(q2, q3, 0x31)};
  if (Kind == VORN_KIND_RGB32) {
    #pragma GCC unroll 4
    for (int32_t i = 0; i < 4; i++) {
      if (Wide)
        StoreInOrder(d + 64 * i, _mm256_unpacklo_epi32(o[i], o[i]), _mm256_unpackhi_epi32(o[i], o[i]));
      else
        Store(d + 32 * i, o[i]);
    }
  } else {
    #pragma GCC unroll 4
    for (int32_t i = 0; i < 4; i++) {
      if (Wide) {
        __m256i w0 = _mm256_unpacklo_epi32(o[i], o[i]), w1 = _mm256_unpackhi_epi32(o[i], o[i]);
        Store24(d + 48 * i, _mm256_permute2x128_si256(w0, w1, 0x20),
                _mm256_permute2x128_si256(w0, w1, 0x31));
      } else if (i % 2 == 0) {
        Store24(d + 24 * i, o[i], o[i + 1]);
      }
    }
  }
}

template <int Kind, bool Wide, bool Gray, bool Swap, bool Alpha>
int32_t RowRgb(const VornConvCtx* ctx, const VornRowArgs* a) {
  int32_t n = a->n & ~31;
  int32_t step = 32 * ctx->bpp * (Wide ? 2 : 1);
  __m128i sh[7];
  if (Kind == VORN_KIND_RGB16) {
    sh[0] = _mm_cvtsi32_si128(8 - ctx->topBits), sh[1] = _mm_cvtsi32_si128(ctx->topPos);
    sh[2] = _mm_cvtsi32_si128(8 - ctx->midBits), sh[3] = _mm_cvtsi32_si128(ctx->botBits);
    sh[4] = _mm_cvtsi32_si128(8 - ctx->botBits);
    sh[5] = _mm_cvtsi32_si128(8 - ctx->alpha), sh[6] = _mm_cvtsi32_si128(16 - ctx->alpha);
  }
  Terms t{};
  for (int32_t i = 0; i < n; i += 32) {
    if (!Gray) t = ChromaTerms(a->cv + i / 2, a->cu + i / 2);
    PutRgb<Kind, Wide, Swap, Alpha>(a->d0 + (intptr_t)i / 32 * step, Compute<Gray, Kind == VORN_KIND_RGB16>(a->y0 + i, t),
                                    Alpha ? a->a0 + i : nullptr, sh);
    if (a->d1)
      PutRgb<Kind, Wide, Swap, Alpha>(a->d1 + (intptr_t)i / 32 * step, Compute<Gray, Kind == VORN_KIND_RGB16>(a->y1 + i, t),
                                      Alpha ? a->a1 + i : nullptr, sh);
  }
  return n;
}

template <bool Wide, bool Uyvy>
inline void PutYuv(uint8_t* d, __m256i y, __m256i ab) {
  if (Wide) {
    __m256i yd[2] = {_mm256_unpacklo_epi8(y, y), _mm256_unpackhi_epi8(y, y)};
    __m256i cp[2] = {_mm256_unpacklo_epi16(ab, ab), _mm256_unpackhi_epi16(ab, ab)};
    #pragma GCC unroll 4
    for (int32_t h = 0; h < 2; h++) {
      __m256i lo = Uyvy ? _mm256_unpacklo_epi8(cp[h], yd[h]) : _mm256_unpacklo_epi8(yd[h], cp[h]);
      __m256i hi = Uyvy ? _mm256_unpackhi_epi8(cp[h], yd[h]) : _mm256_unpackhi_epi8(yd[h], cp[h]);
      // lo: pixels 8h..8h+3 | 16+8h..; hi: 8h+4..8h+7 | 20+8h..
      Store(d + 32 * h, _mm256_permute2x128_si256(lo, hi, 0x20));
      Store(d + 64 + 32 * h, _mm256_permute2x128_si256(lo, hi, 0x31));
    }
  } else {
    __m256i lo = Uyvy ? _mm256_unpacklo_epi8(ab, y) : _mm256_unpacklo_epi8(y, ab);
    __m256i hi = Uyvy ? _mm256_unpackhi_epi8(ab, y) : _mm256_unpackhi_epi8(y, ab);
    StoreInOrder(d, lo, hi);
  }
}

template <bool Wide, bool Uyvy>
int32_t RowYuv(const VornConvCtx* ctx, const VornRowArgs* a) {
  int32_t n = a->n & ~31;
  const uint8_t* sa = a->xodd ? a->cv : a->cu;
  const uint8_t* sb = a->xodd ? a->cu : a->cv;
  for (int32_t i = 0; i < n; i += 32) {
    __m256i ab;
    if (ctx->gray) {
      ab = _mm256_set1_epi8((char)128);
    } else {
      __m128i ca = _mm_loadu_si128((const __m128i*)(sa + i / 2));
      __m128i cb = _mm_loadu_si128((const __m128i*)(sb + i / 2));
      ab = _mm256_set_m128i(_mm_unpackhi_epi8(ca, cb), _mm_unpacklo_epi8(ca, cb));
    }
    PutYuv<Wide, Uyvy>(a->d0 + (intptr_t)i * (Wide ? 4 : 2),
                       _mm256_loadu_si256((const __m256i*)(a->y0 + i)), ab);
    if (a->d1)
      PutYuv<Wide, Uyvy>(a->d1 + (intptr_t)i * (Wide ? 4 : 2),
                         _mm256_loadu_si256((const __m256i*)(a->y1 + i)), ab);
  }
  return n;
}

template <int Kind, bool Wide>
int32_t RowKind(const VornConvCtx* c, const VornRowArgs* a) {
  bool alpha = c->alpha != 0;
  if (c->gray) {
    if (alpha) return c->swapRB ? RowRgb<Kind, Wide, true, true, true>(c, a) : RowRgb<Kind, Wide, true, false, true>(c, a);
    return c->swapRB ? RowRgb<Kind, Wide, true, true, false>(c, a) : RowRgb<Kind, Wide, true, false, false>(c, a);
  }
  if (alpha) return c->swapRB ? RowRgb<Kind, Wide, false, true, true>(c, a) : RowRgb<Kind, Wide, false, false, true>(c, a);
  return c->swapRB ? RowRgb<Kind, Wide, false, true, false>(c, a) : RowRgb<Kind, Wide, false, false, false>(c, a);
}

int32_t Row32(const VornConvCtx* c, const VornRowArgs* a) {
  switch (c->kind) {
    case VORN_KIND_RGB24:
      return c->wide ? RowKind<VORN_KIND_RGB24, true>(c, a) : RowKind<VORN_KIND_RGB24, false>(c, a);
    case VORN_KIND_RGB32:
      return c->wide ? RowKind<VORN_KIND_RGB32, true>(c, a) : RowKind<VORN_KIND_RGB32, false>(c, a);
    case VORN_KIND_RGB16:
      return c->wide ? RowKind<VORN_KIND_RGB16, true>(c, a) : RowKind<VORN_KIND_RGB16, false>(c, a);
    default:
      if (c->uyvy) return c->wide ? RowYuv<true, true>(c, a) : RowYuv<false, true>(c, a);
      return c->wide ? RowYuv<true, false>(c, a) : RowYuv<false, false>(c, a);
  }
}

}  // namespace

int32_t VornConvRowAvx2(const VornConvCtx* c, const VornRowArgs* a) {
  if (a->odd) return 0;
  int32_t done = a->n >= 32 ? Row32(c, a) : 0;
  if (a->n - done < 16) return done;
  // The rest through the 16-pixel converters.
  VornRowArgs b = *a;
  int32_t ws = c->wide ? 2 : 1;
  b.y0 += done, b.cv += done / 2, b.cu += done / 2, b.n -= done;
  if (b.y1) b.y1 += done;
  if (b.a0) b.a0 += done;
  if (b.a1) b.a1 += done;
  b.d0 += (intptr_t)done * ws * c->bpp;
  if (b.d1) b.d1 += (intptr_t)done * ws * c->bpp;
  return done + VornConvRowSse2(c, &b);
}
