#include "gfx/XFileCheck.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace gfx::detail {
namespace {

struct Token {
  enum Kind { Word, String, Number, Open, Close } kind;
  std::string text;  // words and strings
  double value = 0;  // numbers
};

void TextTokens(const char* p, const char* end, std::vector<Token>& out) {
  while (p < end) {
    const char c = *p;
    if (std::isspace(static_cast<unsigned char>(c)) || c == ',' || c == ';') {
      ++p;
    } else if (c == '#' || (c == '/' && p + 1 < end && p[1] == '/')) {
      while (p < end && *p != '\n') ++p;
    } else if (c == '{') {
      out.push_back({Token::Open, {}, 0});
      ++p;
    } else if (c == '}') {
      out.push_back({Token::Close, {}, 0});
      ++p;
    } else if (c == '"') {
      const char* q = static_cast<const char*>(std::memchr(p + 1, '"', static_cast<std::size_t>(end - p - 1)));
      if (!q) q = end;
      out.push_back({Token::String, std::string(p + 1, q), 0});
      p = q < end ? q + 1 : end;
    } else {
      const char* q = p;
      while (q < end && !std::isspace(static_cast<unsigned char>(*q)) && *q != ',' && *q != ';' && *q != '{' &&
             *q != '}' && *q != '"')
        ++q;
      std::string w(p, q);
      char* stop = nullptr;
      const double v = std::strtod(w.c_str(), &stop);
      if (!w.empty() && stop && *stop == '\0' && (std::isdigit(static_cast<unsigned char>(w[0])) || w[0] == '-' ||
                                                   w[0] == '+' || w[0] == '.'))
        out.push_back({Token::Number, {}, v});
      else
        out.push_back({Token::Word, std::move(w), 0});
      p = q;
    }
  }
}

bool Read32(const char*& p, const char* end, std::uint32_t* v) {
  if (end - p < 4) return false;
  std::memcpy(v, p, 4);
  p += 4;
  return true;
}

// Binary tokens as the format numbers them.
bool BinaryTokens(const char* p, const char* end, bool doubles, std::vector<Token>& out, std::string* why) {
  while (end - p >= 2) {
    std::uint16_t t;
    std::memcpy(&t, p, 2);
    p += 2;
    std::uint32_t n = 0;
    switch (t) {
      case 1:  // name
      case 2: {  // string, then its terminator token
        if (!Read32(p, end, &n) || static_cast<std::size_t>(end - p) < n) return *why = "a name runs past the end", false;
        out.push_back({t == 1 ? Token::Word : Token::String, std::string(p, n), 0});
        p += n;
        if (t == 2) p += std::min<std::ptrdiff_t>(2, end - p);
        break;
      }
      case 3:  // integer
        if (!Read32(p, end, &n)) return *why = "an integer runs past the end", false;
        out.push_back({Token::Number, {}, double(n)});
        break;
      case 5:  // GUID
        if (end - p < 16) return *why = "a GUID runs past the end", false;
        p += 16;
        break;
      case 6:  // integer list
        if (!Read32(p, end, &n) || static_cast<std::size_t>(end - p) / 4 < n)
          return *why = "an integer list runs past the end", false;
        for (std::uint32_t i = 0; i < n; ++i, p += 4) {
          std::uint32_t v;
          std::memcpy(&v, p, 4);
          out.push_back({Token::Number, {}, double(v)});
        }
        break;
      case 7: {  // float list
        const std::size_t size = doubles ? 8 : 4;
        if (!Read32(p, end, &n) || static_cast<std::size_t>(end - p) / size < n)
          return *why = "a float list runs past the end", false;
        for (std::uint32_t i = 0; i < n; ++i, p += size) out.push_back({Token::Number, {}, 0.5});
        break;
      }
      case 0x0a:
        out.push_back({Token::Open, {}, 0});
        break;
      case 0x0b:
        out.push_back({Token::Close, {}, 0});
        break;
      case 0x1f:
        out.push_back({Token::Word, "template", 0});
        break;
      default:
        break;  // punctuation and type keywords carry nothing checked here
    }
  }
  return true;
}

// MSZIP: a 32-bit size, then blocks of (16-bit unpacked size, 16-bit packed
// size counting the "CK" that starts it, deflate data); each block inflates
// with the previous one as its dictionary.
bool Inflate(const char* p, const char* end, std::string* out, std::string* why) {
  if (end - p < 4) return *why = "no compressed data", false;
  p += 4;
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return *why = "no inflater", false;
  std::vector<unsigned char> block(65536);
  bool ok = true;
  while (end - p >= 6 && ok) {
    std::uint16_t packed;
    std::memcpy(&packed, p + 2, 2);
    if (p[4] != 'C' || p[5] != 'K' || packed < 2 || end - (p + 4) < packed) {
      *why = "a compressed block is damaged";
      ok = false;
      break;
    }
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(p + 6));
    z.avail_in = packed - 2u;
    z.next_out = block.data();
    z.avail_out = static_cast<uInt>(block.size());
    const int r = inflate(&z, Z_SYNC_FLUSH);
    if (r != Z_OK && r != Z_STREAM_END) {
      *why = "a compressed block does not inflate";
      ok = false;
      break;
    }
    const std::size_t got = block.size() - z.avail_out;
    out->append(reinterpret_cast<const char*>(block.data()), got);
    if (out->size() > (std::size_t{256} << 20)) {
      *why = "the file inflates past 256 MiB";
      ok = false;
      break;
    }
    inflateReset(&z);
    inflateSetDictionary(&z, block.data(), static_cast<uInt>(got));
    p += 4 + packed;
  }
  inflateEnd(&z);
  return ok;
}

// Every skin weight must name a vertex of its mesh.
bool CheckSkins(const std::vector<Token>& t, std::string* why) {
  struct Open {
    int depth;
    double vertices;
  };
  std::vector<Open> meshes;
  int depth = 0;
  auto opens = [&](std::size_t& i) {  // optional name, then '{'
    if (i + 1 < t.size() && t[i + 1].kind == Token::Word) ++i;
    return i + 1 < t.size() && t[i + 1].kind == Token::Open;
  };
  for (std::size_t i = 0; i < t.size(); ++i) {
    const Token& k = t[i];
    if (k.kind == Token::Open) {
      ++depth;
    } else if (k.kind == Token::Close) {
      --depth;
      while (!meshes.empty() && meshes.back().depth > depth) meshes.pop_back();
    } else if (k.kind == Token::Word && k.text == "template") {
      // A declaration: skip to its closing brace.
      int d = 0;
      for (++i; i < t.size(); ++i) {
        if (t[i].kind == Token::Open) ++d;
        if (t[i].kind == Token::Close && --d <= 0) break;
      }
    } else if (k.kind == Token::Word && k.text == "Mesh") {
      std::size_t j = i;
      if (!opens(j)) continue;
      j += 2;  // past '{'
      if (j < t.size() && t[j].kind == Token::Number) meshes.push_back({depth + 1, t[j].value});
    } else if (k.kind == Token::Word && k.text == "MeshNormals") {
      // Normals, then per face the normals it names.
      std::size_t j = i;
      if (!opens(j)) continue;
      j += 2;
      if (j >= t.size() || t[j].kind != Token::Number || !(t[j].value >= 0)) continue;
      const double normals = t[j].value;
      j += 1 + static_cast<std::size_t>(std::min(normals * 3, double(t.size())));
      if (j >= t.size() || t[j].kind != Token::Number || !(t[j].value >= 0)) continue;
      const double faces = t[j++].value;
      for (double f = 0; f < faces && j < t.size() && t[j].kind == Token::Number; ++f) {
        const double corners = t[j++].value;
        if (!(corners >= 0) || corners > 1024) return *why = "a face of the normals is damaged", false;
        for (double c = 0; c < corners && j < t.size() && t[j].kind == Token::Number; ++c, ++j)
          if (!(t[j].value >= 0 && t[j].value < normals))
            return *why = "a face names a normal the list does not have", false;
      }
    } else if (k.kind == Token::Word && k.text == "SkinWeights") {
      std::size_t j = i;
      if (!opens(j) || meshes.empty()) continue;
      j += 2;
      if (j < t.size() && t[j].kind == Token::String) ++j;
      if (j >= t.size() || t[j].kind != Token::Number) continue;
      const double n = t[j].value;
      const double vertices = meshes.back().vertices;
      if (n < 0 || n > vertices * 64 + 64) return *why = "skin weights outnumber their mesh's vertices", false;
      for (std::size_t w = 0; w < static_cast<std::size_t>(n); ++w) {
        const std::size_t at = j + 1 + w;
        if (at >= t.size() || t[at].kind != Token::Number) break;
        if (!(t[at].value >= 0 && t[at].value < vertices))
          return *why = "a skin weight names a vertex its mesh does not have", false;
      }
    }
  }
  return true;
}

}  // namespace

bool CheckXFileForImporter(const std::string& bytes, std::string* why) {
  std::string dummy;
  if (!why) why = &dummy;
  if (bytes.size() < 16 || bytes.compare(0, 4, "xof ") != 0) return *why = "not an .x file", false;
  const std::string format = bytes.substr(8, 4);
  const bool doubles = bytes.compare(12, 4, "0064") == 0;
  std::string inflated;
  const char* p = bytes.data() + 16;
  const char* end = bytes.data() + bytes.size();
  bool binary = format == "bin ";
  if (format == "tzip" || format == "bzip") {
    if (!Inflate(p, end, &inflated, why)) return false;
    p = inflated.data();
    end = inflated.data() + inflated.size();
    binary = format == "bzip";
  } else if (format != "txt " && !binary) {
    return *why = "an unknown .x encoding", false;
  }
  std::vector<Token> tokens;
  if (binary) {
    if (!BinaryTokens(p, end, doubles, tokens, why)) return false;
  } else {
    TextTokens(p, end, tokens);
  }
  return CheckSkins(tokens, why);
}

}  // namespace gfx::detail
