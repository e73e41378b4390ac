package i2cdln;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;

/**
 * Reads a file of hexadecimal address/data pairs into an EEPROM image, by the rule the library
 * reads "program.hex" with, but refusing what that rule leaves open: anything that is not a
 * pair. The whole file is read before a caller touches the chip.
 */
final class HexPairs {
    private static final int MAX_DIGITS = 8; // what a 32-bit "%x" holds
    private static final int MAX_ADDRESS = 0xFFFF;
    private static final String WHITE_SPACE = "[ \t\n\u000b\f\r]+"; // C's isspace, as "%x" skips
    private static final int SHOWN = 20; // characters of a bad word in the message

    private HexPairs() {
    }

    /**
     * The image the file sets, from address 0 to the highest address it names.
     *
     * @throws ArgumentOutOfRangeException naming the line and word that is not part of a pair,
     *     or saying that the file holds no pair
     * @throws UncheckedIOException when the file cannot be read
     */
    static byte[] read(Path file, String device) {
        byte[] image = new byte[MAX_ADDRESS + 1];
        int last = -1;
        long address = -1; // the address of a pair whose data is still to come
        int addressLine = 0;
        // ISO-8859-1 maps every byte to a character, so binary garbage is refused as words.
        try (BufferedReader reader = Files.newBufferedReader(file, StandardCharsets.ISO_8859_1)) {
            int lineNumber = 0;
            String line;
            reading:
            while ((line = reader.readLine()) != null) {
                lineNumber++;
                for (String word : line.split(WHITE_SPACE)) {
                    if (word.isEmpty()) {
                        continue;
                    }
                    long value = number(word);
                    if (value < 0) {
                        throw refused(file, device, "line " + lineNumber + ": \"" + shown(word)
                                + "\" is not a hexadecimal number of at most 8 digits");
                    }
                    if (address < 0) {
                        address = value;
                        addressLine = lineNumber;
                        if (address > MAX_ADDRESS) {
                            break reading; // the library stops reading here, and so does this
                        }
                        continue;
                    }
                    image[(int) address] = (byte) value;
                    last = Math.max(last, (int) address);
                    address = -1;
                }
            }
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
        if (address >= 0 && address <= MAX_ADDRESS) {
            throw refused(file, device, "line " + addressLine + ": the address "
                    + Long.toHexString(address) + " has no data after it");
        }
        if (last < 0) {
            throw refused(file, device, "the file holds no address/data pair at or below ffff");
        }
        return Arrays.copyOf(image, last + 1);
    }

    /** The value of a hexadecimal word with an optional 0x prefix, or -1 when it is not one. */
    private static long number(String word) {
        String digits = word.startsWith("0x") || word.startsWith("0X") ? word.substring(2) : word;
        if (digits.isEmpty() || digits.length() > MAX_DIGITS
                || !digits.chars().allMatch(c -> Character.digit(c, 16) >= 0 && c < 128)) {
            return -1;
        }
        return Long.parseLong(digits, 16);
    }

    /** The start of a word, printable: other bytes as \\xNN. */
    private static String shown(String word) {
        StringBuilder text = new StringBuilder();
        for (char c : word.substring(0, Math.min(SHOWN, word.length())).toCharArray()) {
            text.append(c >= 0x20 && c < 0x7f ? String.valueOf(c)
                                              : String.format("\\x%02x", (int) c));
        }
        return word.length() > SHOWN ? text + "..." : text.toString();
    }

    private static ArgumentOutOfRangeException refused(Path file, String device, String what) {
        return new ArgumentOutOfRangeException("SpiEeprom.program", device,
                file + ": " + what);
    }
}
