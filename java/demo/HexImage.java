import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;

/** Reads a "program.hex" file (address/data pairs in hexadecimal) into a 64 KiB image. */
final class HexImage {
    private HexImage() {}

    static int[] load(Path file) throws IOException {
        int[] image = new int[65536];
        String[] words = Files.readString(file).trim().split("\\s+");
        for (int i = 0; i + 1 < words.length; i += 2) {
            int address = parse(words[i]);
            if (address > 0xFFFF) {
                break;
            }
            image[address] = parse(words[i + 1]) & 0xFF;
        }
        return image;
    }

    static int lastUsedAddress(int[] image) {
        for (int i = image.length - 1; i > 0; i--) {
            if (image[i] != 0) {
                return i;
            }
        }
        return 0;
    }

    private static int parse(String word) {
        String digits = word.startsWith("0x") || word.startsWith("0X") ? word.substring(2) : word;
        return Integer.parseInt(digits, 16);
    }
}
