// SSE2 row converters: groups of 16 pixels from an even start column. The
// table arithmetic is done exactly in 16-bit lanes: the chroma terms as
// sign * ((2|c - 128| * k) >> 16) (truncation toward zero), the luma scale as
// (2t * 38154) >> 16, the gray ramp t * 255 / 219 as t + ((t * 10774) >> 16),
// the clamp by saturation.
#include <emmintrin.h>

#include "vorn/convert_impl.h"

namespace {

inline __m128i K16(int32_t v) { return _mm_set1_epi16((int16_t)(uint16_t)v); }

// Per-pixel chroma terms of 16 pixels (8 chroma samples), low and high halves.
struct Terms {
  __m128i r[2], g[2], b[2];
};

inline __m128i ApplySign(__m128i v, __m128i sign) {
  return _mm_sub_epi16(_mm_xor_si128(v, sign), sign);
}

inline Terms ChromaTerms(const uint8_t* cv, const uint8_t* cu) {
  const __m128i zero = _mm_setzero_si128(), k128 = K16(128);
  __m128i dv = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64((const __m128i*)cv), zero), k128);
  __m128i du = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64((const __m128i*)cu), zero), k128);
  __m128i sv = _mm_srai_epi16(dv, 15), su = _mm_srai_epi16(du, 15);
  __m128i av = _mm_slli_epi16(ApplySign(dv, sv), 1);  // 2 |d|
  __m128i au = _mm_slli_epi16(ApplySign(du, su), 1);
  __m128i r = ApplySign(_mm_mulhi_epu16(av, K16(52299)), sv);
  __m128i gv = ApplySign(_mm_mulhi_epu16(av, K16(26639)), sv);
  __m128i gu = ApplySign(_mm_mulhi_epu16(au, K16(12837)), su);
  __m128i b = ApplySign(_mm_add_epi16(au, _mm_mulhi_epu16(au, K16(565))), su);  // 66101 = 65536 + 565
  __m128i g = _mm_sub_epi16(_mm_sub_epi16(zero, gv), gu);
  Terms t;
  t.r[0] = _mm_unpacklo_epi16(r, r), t.r[1] = _mm_unpackhi_epi16(r, r);
  t.g[0] = _mm_unpacklo_epi16(g, g), t.g[1] = _mm_unpackhi_epi16(g, g);
  t.b[0] = _mm_unpacklo_epi16(b, b), t.b[1] = _mm_unpackhi_epi16(b, b);
  return t;
}

// clamp(y - 16, 0, 219) of 16 luma bytes.
inline __m128i LumaIndex(__m128i y) {
  return _mm_min_epu8(_mm_subs_epu8(y, _mm_set1_epi8(16)), _mm_set1_epi8((char)219));
}

inline __m128i LumaScale(__m128i t16) { return _mm_mulhi_epu16(_mm_slli_epi16(t16, 1), K16(38154)); }

inline __m128i GrayRamp(__m128i t16) { return _mm_add_epi16(t16, _mm_mulhi_epu16(t16, K16(10774))); }

// Channels of 16 pixels as 16-bit lanes (0-255), low and high halves.
struct Channels {
  __m128i r[2], g[2], b[2];
};

// Clamp: the byte formats get it from the saturating pack.
template <bool Gray, bool Clamp>
inline Channels Compute(const uint8_t* yp, const Terms& t) {
  const __m128i zero = _mm_setzero_si128(), max = K16(255);
  __m128i ti = LumaIndex(_mm_loadu_si128((const __m128i*)yp));
  Channels c;
  #pragma GCC unroll 4
  for (int32_t h = 0; h < 2; h++) {
    __m128i t16 = h ? _mm_unpackhi_epi8(ti, zero) : _mm_unpacklo_epi8(ti, zero);
    if (Gray) {
      c.r[h] = c.g[h] = c.b[h] = GrayRamp(t16);
    } else {
      __m128i l = LumaScale(t16);
      c.r[h] = _mm_add_epi16(l, t.r[h]);
      if (Clamp) c.r[h] = _mm_min_epi16(_mm_max_epi16(c.r[h], zero), max);
      c.g[h] = _mm_add_epi16(l, t.g[h]);
      if (Clamp) c.g[h] = _mm_min_epi16(_mm_max_epi16(c.g[h], zero), max);
      c.b[h] = _mm_add_epi16(l, t.b[h]);
      if (Clamp) c.b[h] = _mm_min_epi16(_mm_max_epi16(c.b[h], zero), max);
    }
  }
  return c;
}

inline void Store(uint8_t* d, __m128i v) { _mm_storeu_si128((__m128i*)d, v); }

// Four dwords (low three bytes each) to 12 bytes at the bottom.
inline __m128i Pack24(__m128i p) {
  __m128i lo = _mm_and_si128(p, _mm_set1_epi64x(0xFFFFFF));
  __m128i hi = _mm_and_si128(_mm_srli_epi64(p, 8), _mm_set1_epi64x(0xFFFFFF000000));
  __m128i x = _mm_or_si128(lo, hi);
  return _mm_or_si128(_mm_move_epi64(x), _mm_slli_si128(_mm_srli_si128(x, 8), 6));
}

// 16 dword pixels to 48 bytes.
inline void Store24(uint8_t* d, __m128i p0, __m128i p1, __m128i p2, __m128i p3) {
  __m128i q0 = Pack24(p0), q1 = Pack24(p1), q2 = Pack24(p2), q3 = Pack24(p3);
  Store(d, _mm_or_si128(q0, _mm_slli_si128(q1, 12)));
  Store(d + 16, _mm_or_si128(_mm_srli_si128(q1, 4), _mm_slli_si128(q2, 8)));
  Store(d + 32, _mm_or_si128(_mm_srli_si128(q2, 8), _mm_slli_si128(q3, 4)));
}

template <int Kind, bool Wide, bool Swap, bool Alpha>
inline void PutRgb(const VornConvCtx* ctx, uint8_t* d, const Channels& c, const uint8_t* ap,
                   const __m128i* sh) {
  const __m128i zero = _mm_setzero_si128();
  if (Kind == VORN_KIND_RGB16) {
    #pragma GCC unroll 4
    for (int32_t h = 0; h < 2; h++) {
      __m128i top = Swap ? c.b[h] : c.r[h], bot = Swap ? c.r[h] : c.b[h];
      __m128i v = _mm_sll_epi16(_mm_srl_epi16(top, sh[0]), sh[1]);
      v = _mm_or_si128(v, _mm_sll_epi16(_mm_srl_epi16(c.g[h], sh[2]), sh[3]));
      v = _mm_or_si128(v, _mm_srl_epi16(bot, sh[4]));
      if (Alpha) {
        __m128i a = _mm_loadl_epi64((const __m128i*)(ap + 8 * h));
        a = _mm_unpacklo_epi8(a, zero);
        v = _mm_or_si128(v, _mm_sll_epi16(_mm_srl_epi16(a, sh[5]), sh[6]));
      }
      if (Wide) {
        Store(d + 32 * h, _mm_unpacklo_epi16(v, v));
        Store(d + 32 * h + 16, _mm_unpackhi_epi16(v, v));
      } else {
        Store(d + 16 * h, v);
      }
    }
    (void)ctx;
    return;
  }
  __m128i r8 = _mm_packus_epi16(c.r[0], c.r[1]), g8 = _mm_packus_epi16(c.g[0], c.g[1]);
  __m128i b8 = _mm_packus_epi16(c.b[0], c.b[1]);
  __m128i lo = Swap ? r8 : b8, hi = Swap ? b8 : r8;
  __m128i a8 = Alpha ? _mm_loadu_si128((const __m128i*)ap) : zero;
  __m128i lg0 = _mm_unpacklo_epi8(lo, g8), lg1 = _mm_unpackhi_epi8(lo, g8);
  __m128i ha0 = _mm_unpacklo_epi8(hi, a8), ha1 = _mm_unpackhi_epi8(hi, a8);
  __m128i p[4] = {_mm_unpacklo_epi16(lg0, ha0), _mm_unpackhi_epi16(lg0, ha0),
                  _mm_unpacklo_epi16(lg1, ha1), _mm_unpackhi_epi16(lg1, ha1)};
  if (Kind == VORN_KIND_RGB32) {
    #pragma GCC unroll 4
    for (int32_t i = 0; i < 4; i++) {
      if (Wide) {
        Store(d + 32 * i, _mm_unpacklo_epi32(p[i], p[i]));
        Store(d + 32 * i + 16, _mm_unpackhi_epi32(p[i], p[i]));
      } else {
        Store(d + 16 * i, p[i]);
      }
    }
  } else if (Wide) {
    Store24(d, _mm_unpacklo_epi32(p[0], p[0]), _mm_unpackhi_epi32(p[0], p[0]),
            _mm_unpacklo_epi32(p[1], p[1]), _mm_unpackhi_epi32(p[1], p[1]));
    Store24(d + 48, _mm_unpacklo_epi32(p[2], p[2]), _mm_unpackhi_epi32(p[2], p[2]),
            _mm_unpacklo_epi32(p[3], p[3]), _mm_unpackhi_epi32(p[3], p[3]));
  } else {
    Store24(d, p[0], p[1], p[2], p[3]);
  }
}

template <int Kind, bool Wide, bool Gray, bool Swap, bool Alpha>
int32_t RowRgb(const VornConvCtx* ctx, const VornRowArgs* a) {
  int32_t n = a->n & ~15;
  int32_t step = 16 * ctx->bpp * (Wide ? 2 : 1);
  __m128i sh[7];
  if (Kind == VORN_KIND_RGB16) {
    sh[0] = _mm_cvtsi32_si128(8 - ctx->topBits), sh[1] = _mm_cvtsi32_si128(ctx->topPos);
    sh[2] = _mm_cvtsi32_si128(8 - ctx->midBits), sh[3] = _mm_cvtsi32_si128(ctx->botBits);
    sh[4] = _mm_cvtsi32_si128(8 - ctx->botBits);
    sh[5] = _mm_cvtsi32_si128(8 - ctx->alpha), sh[6] = _mm_cvtsi32_si128(16 - ctx->alpha);
  }
  Terms t{};
  for (int32_t i = 0; i < n; i += 16) {
    if (!Gray) t = ChromaTerms(a->cv + i / 2, a->cu + i / 2);
    PutRgb<Kind, Wide, Swap, Alpha>(ctx, a->d0 + (intptr_t)i / 16 * step,
                                    Compute<Gray, Kind == VORN_KIND_RGB16>(a->y0 + i, t), Alpha ? a->a0 + i : nullptr, sh);
    if (a->d1)
      PutRgb<Kind, Wide, Swap, Alpha>(ctx, a->d1 + (intptr_t)i / 16 * step,
                                      Compute<Gray, Kind == VORN_KIND_RGB16>(a->y1 + i, t), Alpha ? a->a1 + i : nullptr, sh);
  }
  return n;
}

// Packed YUV: luma interleaved with the chroma pair; slot A is the chroma
// byte at the even output column of each pair.
template <bool Wide, bool Uyvy>
int32_t RowYuv(const VornConvCtx* ctx, const VornRowArgs* a) {
  int32_t n = a->n & ~15;
  const uint8_t* sa = a->xodd ? a->cv : a->cu;
  const uint8_t* sb = a->xodd ? a->cu : a->cv;
  for (int32_t i = 0; i < n; i += 16) {
    __m128i ab;
    if (ctx->gray)
      ab = _mm_set1_epi8((char)128);
    else
      ab = _mm_unpacklo_epi8(_mm_loadl_epi64((const __m128i*)(sa + i / 2)),
                             _mm_loadl_epi64((const __m128i*)(sb + i / 2)));
    for (int32_t k = 0; k < (a->d1 ? 2 : 1); k++) {
      __m128i y = _mm_loadu_si128((const __m128i*)((k ? a->y1 : a->y0) + i));
      uint8_t* d = (k ? a->d1 : a->d0) + (intptr_t)i * (Wide ? 4 : 2);
      if (Wide) {
        __m128i yd[2] = {_mm_unpacklo_epi8(y, y), _mm_unpackhi_epi8(y, y)};
        __m128i cp[2] = {_mm_unpacklo_epi16(ab, ab), _mm_unpackhi_epi16(ab, ab)};
        #pragma GCC unroll 4
        for (int32_t h = 0; h < 2; h++) {
          __m128i lo = Uyvy ? _mm_unpacklo_epi8(cp[h], yd[h]) : _mm_unpacklo_epi8(yd[h], cp[h]);
          __m128i hi = Uyvy ? _mm_unpackhi_epi8(cp[h], yd[h]) : _mm_unpackhi_epi8(yd[h], cp[h]);
          Store(d + 32 * h, lo);
          Store(d + 32 * h + 16, hi);
        }
      } else {
        Store(d, Uyvy ? _mm_unpacklo_epi8(ab, y) : _mm_unpacklo_epi8(y, ab));
        Store(d + 16, Uyvy ? _mm_unpackhi_epi8(ab, y) : _mm_unpackhi_epi8(y, ab));
      }
    }
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

}  // namespace

int32_t VornConvRowSse2(const VornConvCtx* c, const VornRowArgs* a) {
  if (a->odd || a->n < 16) return 0;
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
