package i2cdln;

import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import java.util.Arrays;

/**
 * The serial EEPROM on one SPI line: identify, erase, program from an image, verify by reading
 * back. Safe to share between threads; its calls hold the process's SPI lock throughout, as the
 * library's erase and program commands work on the line the last transfer selected.
 *
 * <p>{@code spiEraseEEPROM} and {@code spiProgramEEPROM} hand nothing back, so their own outcome
 * is not observable. This class therefore identifies the chip first (which also selects its
 * line), and judges the result only by reading the chip back through SPI transfers.
 */
public final class SpiEeprom {
    /** The size the library programs: addresses 0x0000 to 0xFFFF. */
    public static final int SIZE = 65536;
    static final int FREQUENCY_HZ = 1_000_000;
    private static final int CHUNK = SpiDevice.MAX_TRANSFER - 4; // after command and address
    private static final int BUSY_POLLS = 10_000;

    /** Told of each step's progress; called on the calling thread. */
    @FunctionalInterface
    public interface Progress {
        /**
         * One step has advanced.
         *
         * @param step "identify", "erase", "program" or "verify"
         * @param done the units done so far (bytes when verifying, else 0 or 1)
         * @param total the units in the step
         */
        void advanced(String step, int done, int total);

        /**
         * A listener that ignores everything.
         *
         * @return the listener
         */
        static Progress none() {
            return (step, done, total) -> {};
        }
    }

    private final Dln dln;
    private final SpiDevice spi;

    SpiEeprom(Dln dln, SpiDevice spi) {
        this.dln = dln;
        this.spi = spi;
    }

    private String device() {
        return "SPI line " + spi.line();
    }

    /**
     * Reads the chip's identification (command 0x9F): maker, type and capacity bytes.
     *
     * @return the three identification bytes
     * @throws NoDeviceException when every byte read 0x00 or 0xFF: no chip answered
     * @throws NoServerException when no adapter server answers
     */
    public int[] identify() {
        synchronized (SpiDevice.PORT_LOCK) {
            int[] reply = spi.transfer(0x9F, 0, 0, 0);
            int[] id = Arrays.copyOfRange(reply, 1, 4);
            if (Arrays.stream(id).allMatch(b -> b == 0) || Arrays.stream(id).allMatch(b -> b == 0xFF)) {
                throw new NoDeviceException(Native.SPI_WRITE_READ.javaName, device(),
                        String.format("no EEPROM answered the identification (read %02x %02x %02x)",
                                id[0], id[1], id[2]));
            }
            return id;
        }
    }

    /**
     * Erases the whole chip, waits until it is no longer busy and checks by reading back that
     * every byte is 0xFF. Blocks for the erase and the read-back: 270 transfers of 13 adapter
     * calls each, plus the chip's erase time.
     *
     * @param progress told of each step
     * @throws NoDeviceException when no chip answers
     * @throws NoServerException when no adapter server answers
     * @throws DlnException when the chip stays busy or a byte read back is not 0xFF
     */
    public void erase(Progress progress) {
        synchronized (SpiDevice.PORT_LOCK) {
            progress.advanced("identify", 0, 1);
            identify();
            progress.advanced("identify", 1, 1);
            progress.advanced("erase", 0, 1);
            Native.SPI_ERASE_EEPROM.call(new int[255]);
            awaitReady(Native.SPI_ERASE_EEPROM.javaName);
            progress.advanced("erase", 1, 1);
            byte[] blank = new byte[SIZE];
            Arrays.fill(blank, (byte) 0xFF);
            verify(Native.SPI_ERASE_EEPROM.javaName, blank, progress);
        }
    }

    /**
     * Programs the chip from an image and verifies it by reading it back. The library erases the
     * chip and programs all 64 KiB (bytes past the image become 0); it reads the image from the
     * file "program.hex" of the working folder and writes its dump "zz.dat" there. This method
     * writes that "program.hex" for the call and puts back what the file held before.
     * Blocks for about 2600 adapter calls (more while the chip is busy), then the read-back.
     *
     * @param image the bytes from address 0, 1 to 65536 of them
     * @param progress told of each step
     * @throws ArgumentOutOfRangeException when the image is empty or larger than 64 KiB
     * @throws NoDeviceException when no chip answers
     * @throws NoServerException when no adapter server answers
     * @throws DlnException when the working folder's files cannot be written, or the bytes read
     *     back differ from the image
     */
    public void program(byte[] image, Progress progress) {
        String method = Native.SPI_PROGRAM_EEPROM.javaName;
        ArgumentOutOfRangeException.check(method, device(), "image size", image.length, 1, SIZE);
        synchronized (SpiDevice.PORT_LOCK) {
            progress.advanced("identify", 0, 1);
            identify();
            progress.advanced("identify", 1, 1);
            Path hex = Path.of("program.hex");
            byte[] before = null;
            try {
                // The library ends the whole process when it cannot create zz.dat: find out first.
                try (OutputStream dump = Files.newOutputStream(Path.of("zz.dat"),
                        StandardOpenOption.CREATE, StandardOpenOption.APPEND)) {
                    dump.flush();
                }
                before = Files.exists(hex) ? Files.readAllBytes(hex) : null;
                Files.writeString(hex, hexPairs(image), StandardCharsets.US_ASCII);
            } catch (IOException e) {
                throw new DlnException(method, device(),
                        "cannot write program.hex and zz.dat in the working folder: " + e);
            }
            try {
                progress.advanced("program", 0, 1);
                Native.SPI_PROGRAM_EEPROM.call(new int[255]);
                awaitReady(method);
                progress.advanced("program", 1, 1);
            } finally {
                restore(hex, before);
            }
            verify(method, image, progress);
        }
    }

    /**
     * Programs the chip from a file of address/data pairs in hexadecimal ("10 ab", white space
     * between numbers, an optional 0x prefix), as {@code spiProgramEEPROM} reads it: a later pair
     * overwrites an earlier one, only the low 8 bits of a data value count, and an address above
     * 0xFFFF or text that is not a pair ends the reading. Then verifies as
     * {@link #program(byte[], Progress)} does, up to the highest address the file sets.
     *
     * @param hexFile the file
     * @param progress told of each step
     * @throws java.io.UncheckedIOException when the file cannot be read
     * @throws NoDeviceException when no chip answers
     * @throws NoServerException when no adapter server answers
     * @throws DlnException when the bytes read back differ
     */
    public void program(Path hexFile, Progress progress) {
        String text;
        try {
            text = Files.readString(hexFile, StandardCharsets.ISO_8859_1);
        } catch (IOException e) {
            throw new java.io.UncheckedIOException(e);
        }
        byte[] image = new byte[SIZE];
        int last = 0;
        String[] words = text.trim().isEmpty() ? new String[0] : text.trim().split("\\s+");
        for (int i = 0; i + 1 < words.length; i += 2) {
            long address = hexNumber(words[i]);
            long data = hexNumber(words[i + 1]);
            if (address < 0 || data < 0 || address > 0xFFFF) {
                break;
            }
            image[(int) address] = (byte) data;
            last = Math.max(last, (int) address);
        }
        program(Arrays.copyOf(image, last + 1), progress);
    }

    /**
     * Reads the chip back and compares it with an image from address 0.
     *
     * @param image the expected bytes, 1 to 65536 of them
     * @param progress told of the bytes compared so far
     * @throws ArgumentOutOfRangeException when the image is empty or larger than 64 KiB
     * @throws DlnException naming the first differing address and the count of differences
     */
    public void verify(byte[] image, Progress progress) {
        ArgumentOutOfRangeException.check(Native.SPI_WRITE_READ.javaName, device(), "image size",
                image.length, 1, SIZE);
        verify(Native.SPI_WRITE_READ.javaName, image, progress);
    }

    private void verify(String method, byte[] image, Progress progress) {
        synchronized (SpiDevice.PORT_LOCK) {
            int differences = 0;
            int first = -1;
            int expected = 0;
            int actual = 0;
            for (int address = 0; address < image.length; address += CHUNK) {
                int count = Math.min(CHUNK, image.length - address);
                int[] command = new int[4 + count];
                command[0] = 0x03; // read from a 24-bit address
                command[2] = address >> 8;
                command[3] = address & 0xFF;
                int[] reply = spi.transfer(command);
                for (int i = 0; i < count; i++) {
                    if (reply[4 + i] != (image[address + i] & 0xFF)) {
                        if (first < 0) {
                            first = address + i;
                            expected = image[address + i] & 0xFF;
                            actual = reply[4 + i];
                        }
                        differences++;
                    }
                }
                progress.advanced("verify", address + count, image.length);
            }
            if (differences > 0) {
                throw new DlnException(method, device(), String.format(
                        "read back %d of %d bytes different; first at 0x%04x: expected %02x, read %02x",
                        differences, image.length, first, expected, actual));
            }
        }
    }

    /** Polls the status register (0x05) until the chip's busy bit clears. */
    private void awaitReady(String method) {
        for (int poll = 0; poll < BUSY_POLLS; poll++) {
            if ((spi.transfer(0x05, 0)[1] & 0x01) == 0) {
                return;
            }
        }
        throw new DlnException(method, device(),
                "the chip stayed busy after " + BUSY_POLLS + " status reads");
    }

    private static String hexPairs(byte[] image) {
        StringBuilder text = new StringBuilder();
        for (int address = 0; address < image.length; address++) {
            if (image[address] != 0) { // addresses not listed stay 0
                text.append(Integer.toHexString(address)).append(' ')
                        .append(Integer.toHexString(image[address] & 0xFF)).append('\n');
            }
        }
        return text.toString();
    }

    /** The value of a hexadecimal word, or -1 when it is not one. */
    private static long hexNumber(String word) {
        String digits = word.startsWith("0x") || word.startsWith("0X") ? word.substring(2) : word;
        if (digits.isEmpty() || digits.length() > 15 || !digits.matches("[0-9a-fA-F]+")) {
            return -1;
        }
        return Long.parseLong(digits, 16);
    }

    private void restore(Path hex, byte[] before) {
        try {
            if (before == null) {
                Files.deleteIfExists(hex);
            } else {
                Files.write(hex, before);
            }
        } catch (IOException e) {
            throw new DlnException(Native.SPI_PROGRAM_EEPROM.javaName, device(),
                    "cannot put back program.hex: " + e);
        }
    }
}
