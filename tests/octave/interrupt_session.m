function interrupt_session()
  % The Octave side of the interrupt test (run_interrupt_test.sh). Twice a
  % long solve whose third Jacobian evaluation waits until the test has sent
  % SIGINT: the first solve must end with status 0 (user interrupt), the
  % second, with interrupt_limit 1, with the error "User termination.".
  % After each the session goes on and solves.
  write_options();
  slow_cubic([], 'reset');
  z = fresh(100);
  [status, time, F] = mcpgate(1, 1, z, -Inf, Inf, 'slow_cubic');
  expect(status == 0, 'interrupted solve reported status %g', status);
  expect_log('EXIT - user interrupt');
  expect(isfinite(z) && z > 1 && abs(F - z^3) <= 1e-12 * z^3, 'point and F after the interrupt');
  solve_after('the interrupt');

  write_options('interrupt_limit 1');
  slow_cubic([], 'reset');
  z = fresh(100);
  expect_error(2, @() mcpgate(1, 1, z, -Inf, Inf, 'slow_cubic'), '^mcpgate: User termination\.', ...
               'interrupt at the limit');
  solve_after('the termination');
  printf('PASSED interrupted solve\n');
  fflush(stdout);

  % Octave's own interrupt handling must work again: the test interrupts
  % this wait.
  fclose(fopen('idle.flag', 'w'));
  pause(60);
  printf('IDLE WAIT FINISHED\n');
end

function solve_after(label)
  write_options();
  z = fresh([0; 0]);
  [status, time, F] = mcpgate(2, 2, z, [0; 0], [Inf; Inf], 'shifted_identity');
  expect(status == 1 && norm(z - [1; 2]) < 1e-8, 'solve after %s', label);
end
