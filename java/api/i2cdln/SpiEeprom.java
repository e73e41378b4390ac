package i2cdln;

import java.nio.file.Path;
import java.util.Arrays;

/**
 * The serial EEPROM on one SPI line: identify, erase, program from an image, verify by reading
 * back. Safe to share between threads; its calls hold the process's SPI lock throughout, as the
 * library's erase command works on the line the last transfer selected.
 *
 * <p>{@code spiEraseEEPROM} hands nothing back, so its own outcome is not observable. This class
 * therefore identifies the chip first (which also selects its line), and judges every result
 * only by reading the chip back through SPI transfers. It programs the chip with the chip's own
 * commands over SPI transfers rather than through {@code spiProgramEEPROM}, which reads
 * "program.hex" from the working folder and writes "zz.dat" there: the program's own files of
 * those names are never touched.
 */
public final class SpiEeprom {
    /** The size the library programs: addresses 0x0000 to 0xFFFF. */
    public static final int SIZE = 65536;
    static final int FREQUENCY_HZ = 1_000_000;
    private static final int CHUNK = SpiDevice.MAX_TRANSFER - 4; // after command and address
    private static final int BUSY_POLLS = 10_000;
    /** The bytes one page-program command writes: half a page of the chip, never across one. */
    private static final int BLOCK = 128;

    /** Told of each step's progress; called on the calling thread. */
    @FunctionalInterface
    public interface Progress {
        /**
         * One step has advanced.
         *
         * @param step "identify", "erase", "program" or "verify"
         * @param done the units done so far (bytes when programming and verifying, else 0 or 1)
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

    private final SpiDevice spi;

    SpiEeprom(SpiDevice spi) {
        this.spi = spi;
    }

    private String device() {
        return "SPI line " + spi.line();
    }

    /**
     * Reads the chip's identification (command 0x9F): maker, type and capacity bytes. Worst
     * case: one {@link SpiDevice#transfer}.
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
     * calls each, plus the chip's erase time. Worst case: the bound of {@code spiEraseEEPROM},
     * the identification, {@value #BUSY_POLLS} status reads and the 270 read-back transfers,
     * each within its own bound.
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
            eraseChip();
            progress.advanced("erase", 1, 1);
            byte[] blank = new byte[SIZE];
            Arrays.fill(blank, (byte) 0xFF);
            verify(Native.SPI_ERASE_EEPROM.javaName, blank, progress);
        }
    }

    /**
     * Programs the chip from an image and verifies it by reading it back: the chip is erased,
     * then written in blocks of {@value #BLOCK} bytes with its own commands (write enable 0x06,
     * page program 0x02, status 0x05 until it is no longer busy) through SPI transfers, so no
     * file is read or written. All 64 KiB are programmed: bytes past the image become 0, as
     * {@code spiProgramEEPROM} leaves them. Blocks for the erase, then about three transfers of
     * 13 adapter calls per block (about 1,600 transfers; about 2 s against dln-sim), more while
     * the chip is busy, then the read-back. Worst case: every transfer within the native
     * method's bound, and each busy wait ends after {@value #BUSY_POLLS} status reads.
     *
     * <p>A failed transfer hands back zeros, so a failed status read looks like a ready chip
     * and a failed write enable or block leaves bytes unwritten: the read-back finds them.
     *
     * @param image the bytes from address 0, 1 to 65536 of them
     * @param progress told of each step; "program" counts the bytes written
     * @throws ArgumentOutOfRangeException when the image is empty or larger than 64 KiB
     * @throws NoDeviceException when no chip answers
     * @throws NoServerException when no adapter server answers
     * @throws DlnException when the chip stays busy, or the bytes read back differ from the
     *     image
     */
    public void program(byte[] image, Progress progress) {
        String method = Native.SPI_WRITE_READ.javaName;
        ArgumentOutOfRangeException.check(method, device(), "image size", image.length, 1, SIZE);
        synchronized (SpiDevice.PORT_LOCK) {
            progress.advanced("identify", 0, 1);
            identify();
            progress.advanced("identify", 1, 1);
            progress.advanced("erase", 0, 1);
            eraseChip();
            progress.advanced("erase", 1, 1);
            byte[] chip = Arrays.copyOf(image, SIZE);
            progress.advanced("program", 0, SIZE);
            for (int address = 0; address < SIZE; address += BLOCK) {
                writeBlock(chip, address, method);
                progress.advanced("program", address + BLOCK, SIZE);
            }
            verify(method, image, progress);
        }
    }

    /**
     * Programs the chip from a file of address/data pairs in hexadecimal ("10 ab", white space
     * between numbers, an optional 0x prefix), read by the rule of {@code spiProgramEEPROM}'s
     * "program.hex": a later pair overwrites an earlier one, only the low 8 bits of a data value
     * count, addresses not listed are 0, and an address above 0xFFFF ends the reading. The whole
     * file is read before the chip is touched: a word that is not a hexadecimal number of at
     * most 8 digits, an address without its data, or a file without any pair is refused. Then
     * programs and verifies as {@link #program(byte[], Progress)} does, up to the highest
     * address the file sets. The file is only read.
     *
     * @param hexFile the file
     * @param progress told of each step
     * @throws java.io.UncheckedIOException when the file cannot be read
     * @throws ArgumentOutOfRangeException when the file is not address/data pairs, naming the
     *     line and the word, or holds no pair; the chip is untouched
     * @throws NoDeviceException when no chip answers
     * @throws NoServerException when no adapter server answers
     * @throws DlnException when the bytes read back differ
     */
    public void program(Path hexFile, Progress progress) {
        program(HexPairs.read(hexFile, device()), progress);
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

    /** Erases the chip on the line the last transfer selected and waits until it is done. */
    private void eraseChip() {
        Native.SPI_ERASE_EEPROM.call(new int[255]);
        awaitReady(Native.SPI_ERASE_EEPROM.javaName);
    }

    /** Writes one block unless it is all 0xFF, which the erase left already. */
    private void writeBlock(byte[] chip, int address, String method) {
        int[] command = new int[4 + BLOCK];
        command[0] = 0x02; // page program at a 24-bit address
        command[2] = address >> 8;
        command[3] = address & 0xFF;
        boolean erased = true;
        for (int i = 0; i < BLOCK; i++) {
            command[4 + i] = chip[address + i] & 0xFF;
            erased &= command[4 + i] == 0xFF;
        }
        if (erased) {
            return;
        }
        spi.transfer(0x06); // write enable: the chip clears it after every write
        spi.transfer(command);
        awaitReady(method);
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
}
