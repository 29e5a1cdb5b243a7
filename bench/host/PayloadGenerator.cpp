// kzbenchgen: lays out a stand-in product of about 60 MB in 400 files for the extraction
// benchmark, and its two file lists in the packer's format (Windows-1252, "source -> target",
// every line ended by CR LF).
//
//   kzbenchgen ROOT LISTDIR [CATALOG]
//
// ROOT receives the tree, LISTDIR the lists FILES.lst (every product file) and RESOURCES.lst
// (one catalog, which the setup itself would read; CATALOG is copied in as that file when
// given). The output depends on nothing but this program: the same bytes on every run.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// splitmix64: small, fast and the same on every host.
struct Random {
    uint64_t state;
    explicit Random(uint64_t start) : state(start) {}
    uint64_t Next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
    // Log-uniform between low and high: many small values, a few large ones.
    size_t Size(size_t low, size_t high)
    {
        const double span = static_cast<double>(Below(1u << 20)) / static_cast<double>(1u << 20);
        double value = static_cast<double>(low);
        const double ratio = static_cast<double>(high) / static_cast<double>(low);
        // ratio^span by repeated halving steps keeps to plain arithmetic (no libm differences).
        double factor = ratio;
        double rest = span;
        for (int i = 0; i < 30; ++i) {
            factor = std::sqrt(factor);
            rest *= 2;
            if (rest >= 1) {
                value *= factor;
                rest -= 1;
            }
        }
        return static_cast<size_t>(value);
    }
};

const char* const kWords[] = {
    "the", "viewer", "model", "scene", "light", "camera", "orbit", "zoom", "select", "part",
    "assembly", "surface", "edge", "vertex", "normal", "texture", "material", "shader", "render",
    "frame", "window", "toolbar", "menu", "option", "file", "open", "save", "export", "import",
    "format", "document", "page", "print", "measure", "distance", "angle", "section", "plane",
    "clip", "explode", "animate", "timeline", "play", "pause", "step", "view", "front", "back",
    "left", "right", "top", "bottom", "isometric", "perspective", "orthographic", "grid", "axis",
    "origin", "rotate", "translate", "scale", "transform", "hierarchy", "node", "group", "layer",
    "visible", "hidden", "color", "opacity", "reflection", "shadow", "quality", "performance",
    "memory", "cache", "load", "stream", "network", "server", "control", "license", "version",
    "update", "install", "folder", "path", "setting", "default", "custom", "user", "mode", "tool",
    "and", "of", "to", "in", "is", "with", "for", "on", "by", "a", "an", "this", "that", "from",
    "when", "each", "every", "can", "will", "may", "must", "shows", "changes", "keeps", "uses",
    "Orlix", "Zephyrix", "Kaze", "Mar", "player", "product", "annotation", "markup", "comment",
    "review", "session", "presentation", "slide", "snapshot", "image", "resolution", "pixel",
};
const int kWordCount = static_cast<int>(sizeof(kWords) / sizeof(kWords[0]));

void AppendProse(Random& random, size_t size, std::string* out)
{
    int inSentence = 0;
    while (out->size() < size) {
        const char* word = kWords[random.Below(kWordCount)];
        if (inSentence == 0) {
            out->push_back(static_cast<char>(word[0] >= 'a' && word[0] <= 'z' ? word[0] - 32 : word[0]));
            out->append(word + 1);
        } else {
            out->append(word);
        }
        if (++inSentence > 6 + static_cast<int>(random.Below(12))) {
            out->append(random.Below(5) == 0 ? ".\r\n" : ". ");
            inSentence = 0;
        } else {
            out->push_back(' ');
        }
    }
}

std::string Identifier(Random& random)
{
    std::string id = kWords[random.Below(kWordCount)];
    id[0] = static_cast<char>(id[0] >= 'a' && id[0] <= 'z' ? id[0] - 32 : id[0]);
    return id;
}

void MakeCatalog(Random& random, size_t size, std::string* out)
{
    while (out->size() < size) {
        *out += Identifier(random) + "." + Identifier(random) + "." + (random.Below(2) ? "Label" : "Title") + "=\"";
        std::string text;
        AppendProse(random, 12 + random.Below(80), &text);
        for (char& c : text) {
            if (c == '\r' || c == '\n' || c == '"')
                c = ' ';
        }
        *out += text + "\";\r\n";
    }
}

void MakeHtml(Random& random, size_t size, std::string* out)
{
    *out += "<!DOCTYPE html>\r\n<html><head><meta charset=\"windows-1252\"><title>" + Identifier(random) +
            "</title><link rel=\"stylesheet\" href=\"../help.css\"></head>\r\n<body>\r\n";
    while (out->size() + 20 < size) {
        *out += random.Below(4) == 0 ? "<h2>" + Identifier(random) + " " + Identifier(random) + "</h2>\r\n" : "";
        *out += "<p>";
        AppendProse(random, out->size() + 200 + random.Below(600), out);
        *out += "</p>\r\n";
    }
    *out += "</body></html>\r\n";
}

void MakeXml(Random& random, size_t size, std::string* out)
{
    *out += "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<configuration>\r\n";
    while (out->size() + 20 < size) {
        *out += "  <setting name=\"" + Identifier(random) + "." + Identifier(random) + "\" value=\"" +
                std::to_string(random.Below(100000)) + "\" type=\"" + (random.Below(2) ? "int" : "text") + "\"/>\r\n";
    }
    *out += "</configuration>\r\n";
}

void MakeShader(Random& random, size_t size, std::string* out)
{
    const char* const types[] = {"float", "vec2", "vec3", "vec4", "mat3"};
    const char* const calls[] = {"normalize", "dot", "mix", "clamp", "max", "texture", "reflect"};
    *out += "#version 330 core\r\n// " + Identifier(random) + " pass\r\n";
    while (out->size() < size) {
        *out += std::string("    ") + types[random.Below(5)] + " " + kWords[random.Below(kWordCount)] +
                std::to_string(random.Below(64)) + " = " + calls[random.Below(7)] + "(" +
                kWords[random.Below(kWordCount)] + " * " + std::to_string(random.Below(1000)) + ".0, " +
                kWords[random.Below(kWordCount)] + ");\r\n";
    }
}

void AppendUint(std::string* out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A 24-bit bitmap: gradients and boxes with a little noise in the low bits, as icons and
// banners compress.
void MakeBitmap(Random& random, uint32_t width, uint32_t height, std::string* out)
{
    const uint32_t stride = (width * 3 + 3) & ~3u;
    const uint32_t pixels = stride * height;
    *out += "BM";
    AppendUint(out, 54 + pixels, 4);
    AppendUint(out, 0, 4);
    AppendUint(out, 54, 4);
    AppendUint(out, 40, 4);
    AppendUint(out, width, 4);
    AppendUint(out, height, 4);
    AppendUint(out, 1, 2);
    AppendUint(out, 24, 2);
    AppendUint(out, 0, 4);
    AppendUint(out, pixels, 4);
    AppendUint(out, 2835, 4);
    AppendUint(out, 2835, 4);
    AppendUint(out, 0, 4);
    AppendUint(out, 0, 4);
    const uint32_t boxX = random.Below(width), boxY = random.Below(height);
    const uint32_t boxW = 1 + random.Below(width), boxH = 1 + random.Below(height);
    const uint32_t base = random.Below(256);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const bool inBox = x >= boxX && x < boxX + boxW && y >= boxY && y < boxY + boxH;
            const uint32_t noise = random.Below(8) == 0 ? random.Below(4) : 0;
            out->push_back(static_cast<char>((inBox ? 255 - base : base + x * 128 / width) + noise));
            out->push_back(static_cast<char>((inBox ? 200 : y * 255 / height) + noise));
            out->push_back(static_cast<char>((base + (x + y) * 64 / (width + height)) ^ (inBox ? 0x40 : 0)));
        }
        for (uint32_t pad = width * 3; pad < stride; ++pad)
            out->push_back(0);
    }
}

// Program-like bytes: a header, code made of a small repertoire of instruction patterns with
// varying immediates, a string table and zero padding, about 2:1 under deflate.
void MakeProgram(Random& random, size_t size, std::string* out)
{
    std::string patterns[192];
    Random shapes(0x5EC7104Eull);
    for (std::string& pattern : patterns) {
        const uint32_t length = 2 + shapes.Below(7);
        for (uint32_t i = 0; i < length; ++i)
            pattern.push_back(static_cast<char>(shapes.Below(256)));
    }
    *out += "MZ";
    out->resize(0x80, '\0');
    *out += "PE";
    out->resize(0x400, '\0');
    const size_t codeEnd = size * 7 / 10;
    while (out->size() < codeEnd) {
        // Frequent patterns first: the product of two draws favours small indices.
        const uint32_t index = random.Below(192) * random.Below(192) / 192;
        *out += patterns[index];
        if (random.Below(5) == 0)
            AppendUint(out, random.Below(4) == 0 ? static_cast<uint32_t>(random.Next()) : random.Below(4096), 4);
    }
    out->resize((out->size() + 511) & ~static_cast<size_t>(511), '\0');
    while (out->size() < size * 9 / 10) {
        *out += Identifier(random) + Identifier(random) + (random.Below(3) == 0 ? "Ex" : "");
        out->push_back('\0');
        if (random.Below(3) == 0)
            AppendUint(out, 0x10000000u + random.Below(1u << 24), 4);
    }
    out->resize(size, '\0');
}

// Mesh data: vertex positions on a smooth surface, normals and an index list.
void MakeModel(Random& random, size_t size, std::string* out)
{
    *out += "ORLX";
    AppendUint(out, 3, 4);
    uint32_t vertex = 0;
    while (out->size() + 48 < size * 2 / 3) {
        const float u = static_cast<float>(vertex % 1024) / 1024.0f;
        const float v = static_cast<float>(vertex / 1024) / 1024.0f;
        const float z = u * v * 16.0f + static_cast<float>(random.Below(1000)) * 0.0001f;
        const float values[6] = {u * 100.0f, v * 100.0f, z, 0.0f, 0.0f, 1.0f};
        for (float value : values) {
            uint32_t bits = 0;
            std::memcpy(&bits, &value, 4);
            AppendUint(out, bits, 4);
        }
        ++vertex;
    }
    uint32_t index = 0;
    while (out->size() + 4 <= size) {
        AppendUint(out, index + random.Below(3) * 1024, 4);
        index += random.Below(2);
    }
    out->resize(size, '\0');
}

void MakeNoise(Random& random, size_t size, std::string* out)
{
    out->reserve(size);
    while (out->size() < size) {
        const uint64_t value = random.Next();
        for (int i = 0; i < 8 && out->size() < size; ++i)
            out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

enum Kind { Catalog, Html, Xml, Shader, Bitmap, Program, Model, Noise, Prose };

struct Entry {
    std::string name;     // Windows-1252, "\" separators: the list's target
    Kind kind;
    size_t size;          // bitmaps: width << 16 | height
};

// Windows-1252 to UTF-8 for the host's file names (only Latin-1 letters are used here).
std::string HostName(const std::string& name)
{
    std::string host;
    for (unsigned char c : name) {
        if (c == '\\') {
            host.push_back('/');
        } else if (c < 0x80) {
            host.push_back(static_cast<char>(c));
        } else {
            host.push_back(static_cast<char>(0xC0 | (c >> 6)));
            host.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return host;
}

std::vector<Entry> Plan(Random& random)
{
    std::vector<Entry> plan;
    auto add = [&plan](const std::string& name, Kind kind, size_t size) { plan.push_back({name, kind, size}); };
    const size_t KB = 1024, MB = 1024 * 1024;

    // Programs and libraries first, as a product's list runs.
    add("code\\bin\\OrlixPlayer.exe", Program, 2 * MB + 300 * KB);
    add("code\\bin\\ZephyrixCore.dll", Program, 5 * MB + 128 * KB);
    add("code\\bin\\ZephyrixOCXViewer.ocx", Program, 1 * MB + 700 * KB);
    add("code\\bin\\OrlixPlayerUninstall.exe", Program, 180 * KB);
    add("code\\bin\\setqorenv.exe", Program, 64 * KB);
    for (int i = 0; i < 27; ++i)
        add("code\\bin\\Zx" + Identifier(random) + std::to_string(i) + ".dll", Program, random.Size(24 * KB, 900 * KB));
    const char* const plugins[] = {"importers", "exporters", "render", "measure", "markup"};
    for (int i = 0; i < 30; ++i)
        add(std::string("code\\plugins\\") + plugins[i % 5] + "\\" + Identifier(random) + std::to_string(i) + ".kzp",
            Program, random.Size(16 * KB, 700 * KB));
    for (int i = 0; i < 40; ++i)
        add("code\\config\\" + Identifier(random) + std::to_string(i) + ".xml", Xml, random.Size(1 * KB, 24 * KB));

    // Catalogs, documentation and shaders: many small text files.
    for (int i = 0; i < 40; ++i)
        add("resources\\msgcatalog\\KZ" + Identifier(random) + std::to_string(i) + ".QorNls", Catalog,
            random.Size(2 * KB, 14 * KB));
    const char* const languages[] = {"en", "fr", "de", "ja", "it", "es"};
    for (int i = 0; i < 120; ++i) {
        std::string topic = i == 7 ? std::string("Pr\xE9sentation") : Identifier(random) + std::to_string(i);
        add(std::string("resources\\docs\\") + languages[i % 6] + "\\" + topic + ".html", Html,
            random.Size(3 * KB, 36 * KB));
    }
    for (int i = 0; i < 50; ++i)
        add("resources\\shaders\\" + Identifier(random) + std::to_string(i) + ".glsl", Shader,
            random.Size(1 * KB, 12 * KB));

    // Bitmaps of icon and banner sizes.
    const uint32_t sides[] = {16, 24, 32, 48, 64, 96, 128, 160, 256};
    for (int i = 0; i < 58; ++i) {
        const uint32_t w = sides[random.Below(9)], h = i % 4 == 0 ? sides[random.Below(9)] : w;
        add("resources\\graphic\\icons\\" + Identifier(random) + std::to_string(i) + ".bmp", Bitmap, w << 16 | h);
    }
    add("resources\\graphic\\icons\\KZOrlixSetup.bmp", Bitmap, 164u << 16 | 314u);
    add("resources\\graphic\\icons\\KZOrlixSetupH.bmp", Bitmap, 500u << 16 | 58u);

    // Already-compressed media and textures: incompressible.
    for (int i = 0; i < 20; ++i)
        add("resources\\textures\\" + Identifier(random) + std::to_string(i) + ".kzt", Noise,
            random.Size(48 * KB, 1600 * KB));
    add("resources\\textures\\Environment.kzt", Noise, 4 * MB);
    add("resources\\media\\Intro.mp4", Noise, 7 * MB + 256 * KB);
    add("resources\\docs\\QuickStart.pdf", Noise, 900 * KB);

    // Sample models and the material library: large and partly compressible.
    add("resources\\models\\Showroom.orx", Model, 9 * MB);
    add("resources\\models\\Gearbox.orx", Model, 1 * MB + 512 * KB);
    add("resources\\data\\Materials.db", Program, 3 * MB);

    add("resources\\KZOrlixLicense.rtf", Prose, 38 * KB);
    add("resources\\Zephyrix\\versions\\PlayerVersion.txt", Prose, 0);
    return plan;
}

bool WriteFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "kzbenchgen: cannot write %s\n", path.string().c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: kzbenchgen ROOT LISTDIR [CATALOG]\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    const std::filesystem::path lists = argv[2];

    Random random(0x4B5A42454E4348ull);
    const std::vector<Entry> plan = Plan(random);
    std::string files;
    size_t total = 0;
    for (const Entry& entry : plan) {
        std::string bytes;
        switch (entry.kind) {
        case Catalog: MakeCatalog(random, entry.size, &bytes); break;
        case Html: MakeHtml(random, entry.size, &bytes); break;
        case Xml: MakeXml(random, entry.size, &bytes); break;
        case Shader: MakeShader(random, entry.size, &bytes); break;
        case Bitmap: MakeBitmap(random, static_cast<uint32_t>(entry.size >> 16), entry.size & 0xFFFF, &bytes); break;
        case Program: MakeProgram(random, entry.size, &bytes); break;
        case Model: MakeModel(random, entry.size, &bytes); break;
        case Noise: MakeNoise(random, entry.size, &bytes); break;
        case Prose:
            if (entry.size == 0)
                bytes = "4.2.1\r\n";
            else
                AppendProse(random, entry.size, &bytes);
            break;
        }
        if (!WriteFile(root / HostName(entry.name), bytes))
            return 1;
        total += bytes.size();
        files += entry.name + " -> " + entry.name + "\r\n";
    }

    // The setup's own catalog goes into the RESOURCES list only.
    const std::string catalogName = "setup\\msgcatalog\\KZ_PlatformErrors.QorNls";
    std::string catalog = "OutOfMemory=\"Out of memory, memory allocation failed\";\r\n";
    if (argc == 4) {
        std::ifstream in(argv[3], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "kzbenchgen: cannot read %s\n", argv[3]);
            return 1;
        }
        catalog.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (!WriteFile(root / HostName(catalogName), catalog) ||
        !WriteFile(lists / "FILES.lst", files) ||
        !WriteFile(lists / "RESOURCES.lst", catalogName + " -> resources\\msgcatalog\\KZ_PlatformErrors.QorNls\r\n"))
        return 1;
    std::printf("kzbenchgen: %zu files, %zu bytes\n", plan.size(), total);
    return 0;
}
